#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// The two ways the speech service makes sound, behind interfaces so tests run
// without an audio server. Both live on the main thread and report there.

// A system synthesizer speaking with installed voices.
class QVSpeechEngine : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Whether an installed voice speaks this locale ("de_DE"). An engine still
    // starting up answers false.
    virtual bool hasVoiceForLocale(const QString &localeIdentifier) const = 0;
    // Whether the engine has started, so hasVoiceForLocale() knows its voices.
    virtual bool isReady() const { return true; }
    // Starts an engine not yet started; ready() follows, once, on the main thread.
    virtual void prepare() {}
    virtual void speak(const QString &text, const QString &localeIdentifier, double wordsPerMinute) = 0;
    // Ends the speech in progress; finished(false) follows.
    virtual void stop() = 0;
    virtual bool isSpeaking() const = 0;

signals:
    // Once per speak(): true when the text was spoken to its end.
    void finished(bool completed);
    void ready();
};

// A player of the backend's speech audio.
class QVAudioPlayer : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // False when the system has no audio output to play on.
    virtual bool canPlay() const = 0;
    // Whether canPlay() answers at once; a player still loading answers it only after ready().
    virtual bool isReady() const { return true; }
    // Starts loading a player not yet ready; ready() follows, once, on the main thread.
    virtual void prepare() {}
    // Replaces whatever plays now (that one reports finished(false) first).
    virtual void play(const QByteArray &audio, double volume, double rate) = 0;
    virtual void stop() = 0;
    virtual bool isPlaying() const = 0;

signals:
    // Once per play(): true when the audio played to its end; false when it was
    // stopped, replaced, or could not be decoded.
    void finished(bool successfully);
    void ready();
};
