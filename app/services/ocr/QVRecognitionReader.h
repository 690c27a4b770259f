#pragma once

// The contract between the recognition operation and the recognition module
// (libqvrecognizer.so), which holds the text recognition library so that it is
// loaded on the first picture, not at start. Plain C so either side can change
// its internals freely.
extern "C" {

struct QVRecognitionRequest {
    const unsigned char *pixels; // RGB rows, 3 bytes a pixel, bytesPerLine apart
    int width;
    int height;
    int bytesPerLine;
    int dotsPerInch;
    const char *dataPath; // folder of the language data
    const char *language; // "eng", "eng+deu", ...
    int level;            // the result level read (text lines)
    void *context;
    bool (*cancelled)(void *context);
    void (*progress)(void *context, int percent);
    void (*line)(void *context, const char *utf8, int left, int top, int right, int bottom, float confidence);
};

enum QVRecognitionResult {
    QVRecognitionDone = 0,
    QVRecognitionLanguageRefused = 1, // the engine could not load the language data
    QVRecognitionFailed = 2,          // recognition returned an error; *detail holds its status
};

// The module's entry point.
typedef int (*QVRecognizeLinesFunction)(const QVRecognitionRequest *request, int *detail);
}

constexpr const char *kRecognizeLinesEntry = "qvRecognizeLines";
