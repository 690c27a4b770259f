// The sound module's entry point (see services/push/QVSoundModule.h): the only code that
// links libcanberra.
#include "services/push/QVSoundModule.h"

#include <canberra.h>

namespace {

class CanberraSound : public QVThemeSound {
public:
    explicit CanberraSound(ca_context *context) : m_context(context) {}
    ~CanberraSound() override { ca_context_destroy(m_context); }
    CanberraSound(const CanberraSound &) = delete;
    CanberraSound &operator=(const CanberraSound &) = delete;

    bool play(Kind kind, const QString &value, QString *error) override {
        const char *property = kind == Event ? CA_PROP_EVENT_ID : CA_PROP_MEDIA_FILENAME;
        const int result = ca_context_play(m_context, 0, property, value.toUtf8().constData(), nullptr);
        if (result != CA_SUCCESS) {
            *error = QString::fromUtf8(ca_strerror(result));
            return false;
        }
        return true;
    }

private:
    ca_context *m_context;
};

} // namespace

extern "C" Q_DECL_EXPORT QVThemeSound *qvSoundModuleCreate(const char *applicationName, QString *error) {
    ca_context *context = nullptr;
    const int result = ca_context_create(&context);
    if (result != CA_SUCCESS) {
        *error = QString::fromUtf8(ca_strerror(result));
        return nullptr;
    }
    ca_context_change_props(context, CA_PROP_APPLICATION_NAME, applicationName, nullptr);
    return new CanberraSound(context);
}
