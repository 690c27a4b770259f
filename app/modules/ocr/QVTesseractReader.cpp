// The recognition module's entry point (see services/ocr/QVRecognitionReader.h):
// the only code that links the text recognition library.
#include "services/ocr/QVRecognitionReader.h"

#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <memory>

#include <omp.h>

namespace {

struct ApiDeleter {
    void operator()(tesseract::TessBaseAPI *api) const {
        api->End();
        delete api;
    }
};

// The engine's monitor calls back through plain function pointers carrying the request.
bool shouldCancel(void *request, int /*words*/) {
    const auto *r = static_cast<const QVRecognitionRequest *>(request);
    return r->cancelled(r->context);
}

bool progressed(tesseract::ETEXT_DESC *monitor, int, int, int, int) {
    const auto *r = static_cast<const QVRecognitionRequest *>(monitor->cancel_this);
    r->progress(r->context, monitor->progress);
    return true;
}

} // namespace

extern "C" __attribute__((visibility("default"))) int qvRecognizeLines(const QVRecognitionRequest *request,
                                                                       int *detail) {
    // The engine's parallel loops would otherwise start a spinning worker per core for
    // each recognition: on a busy machine a picture then takes seconds instead of a
    // fraction of one. Dynamic teams shrink with the load; plain loops run on this thread.
    omp_set_dynamic(1);
    omp_set_num_threads(1);
    // The data hold LSTM models only; the legacy engine would refuse to start.
    std::unique_ptr<tesseract::TessBaseAPI, ApiDeleter> api(new tesseract::TessBaseAPI);
    if (api->Init(request->dataPath, request->language, tesseract::OEM_DEFAULT) != 0)
        return QVRecognitionLanguageRefused;
    // Automatic segmentation finds and reads the lines; layout-only modes read nothing.
    api->SetPageSegMode(tesseract::PSM_AUTO);
    api->SetImage(request->pixels, request->width, request->height, 3, request->bytesPerLine);
    api->SetSourceResolution(request->dotsPerInch);

    tesseract::ETEXT_DESC monitor;
    monitor.cancel = &shouldCancel;
    monitor.cancel_this = const_cast<QVRecognitionRequest *>(request);
    monitor.progress_callback2 = &progressed;
    const int status = api->Recognize(&monitor);
    if (request->cancelled(request->context))
        return QVRecognitionDone; // the caller tells a cancelled run by itself
    if (status != 0) {
        *detail = status;
        return QVRecognitionFailed;
    }
    request->progress(request->context, 100);

    std::unique_ptr<tesseract::ResultIterator> iterator(api->GetIterator());
    const auto level = static_cast<tesseract::PageIteratorLevel>(request->level);
    if (!iterator || iterator->Empty(level))
        return QVRecognitionDone;
    do {
        const std::unique_ptr<char[]> text(iterator->GetUTF8Text(level));
        if (!text)
            continue;
        int left = 0, top = 0, right = 0, bottom = 0;
        iterator->BoundingBox(level, &left, &top, &right, &bottom);
        request->line(request->context, text.get(), left, top, right, bottom, iterator->Confidence(level));
    } while (iterator->Next(level));
    return QVRecognitionDone;
}
