#include "services/documents/QVPdfModule.h"

#include "services/modules/QVModuleLoader.h"

#include "core/DevLog.h"
#include "platform/OnDemandLibrary.h"

#include <mutex>

namespace {

using OpenFunction = QVPdfDocument *(*)(const QString &path, QString *error);
using PrintFunction = bool (*)(QTextDocument &document, QWidget *parent,
                               const QVPdfModule::PrintDialogRunner &runner);

platform::OnDemandLibrary &library() {
    static platform::OnDemandLibrary pdf("libqvpdf.so", "QV_PDF_MODULE", QStringLiteral(QV_PDF_MODULE_PATH));
    return pdf;
}

std::mutex g_errorMutex;
QString g_error;

void setError(const QString &error) {
    std::lock_guard<std::mutex> lock(g_errorMutex);
    g_error = error;
}

void *moduleSymbol(const char *name) {
    void *symbol = library().symbol(name);
    if (!symbol) {
        setError(library().error());
        DevLog(QStringLiteral("[pdf] %@"), library().error());
    }
    return symbol;
}

} // namespace

namespace QVPdfModule {

std::unique_ptr<QVPdfDocument> open(const QString &path) {
    const auto openFile = reinterpret_cast<OpenFunction>(moduleSymbol("qvPdfModuleOpen"));
    if (!openFile)
        return nullptr;
    QString error;
    std::unique_ptr<QVPdfDocument> document(openFile(path, &error));
    if (!document)
        setError(error);
    return document;
}

bool print(QTextDocument &document, QWidget *parent, const PrintDialogRunner &runner) {
    const auto printDocument = reinterpret_cast<PrintFunction>(moduleSymbol("qvPdfModulePrint"));
    return printDocument && printDocument(document, parent, runner);
}

void load(QObject *context, std::function<void()> loaded) {
    QVModuleLoader::load(
        library(), "qvPdfModulePrint", context,
        [loaded = std::move(loaded)](void *entry, const QString &error) {
            if (!entry) {
                setError(error);
                DevLog(QStringLiteral("[pdf] %@"), error);
            }
            if (loaded)
                loaded();
        },
        [] { QVModuleLoader::mapPlugins({QStringLiteral("printsupport")}); });
}

QString lastError() {
    std::lock_guard<std::mutex> lock(g_errorMutex);
    return g_error;
}

bool isLoaded() {
    return library().isLoaded();
}

} // namespace QVPdfModule
