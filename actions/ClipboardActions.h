#pragma once

#include "protocol/TDMessage.h"
#include "log/ActionLog.h"

#include <QObject>
#include <QString>

class FileViewer;
class Pasteboard;
class ScreenCapture;

// Clipboard contents in both directions, and screenshots to the Desktop
// folder. Main thread only, but for the capture itself.
class ClipboardActions : public QObject {
    Q_OBJECT
public:
    // Marks a clipboardPayload text that carries an image's base64.
    static inline const QString imageMarker = QStringLiteral("[IMAGE]");

    // The platform services must outlive any capture started here.
    ClipboardActions(Pasteboard &pasteboard, ScreenCapture &screenCapture, FileViewer &fileViewer,
                     ActionLog log = ActionLog(), QObject *parent = nullptr);

    // clipboardImagePayload: an image file in base64. Anything that is not
    // one leaves the clipboard as it was.
    void receiveImagePayload(const QString &data);
    // clipboardPayload: a text, or "[IMAGE]" and an image's base64.
    void receiveTextPayload(const QString &text);
    // The answer to requestClipboard: the clipboard's image as PNG, else its
    // text, either made to fit one frame (and a line logged when it had to be).
    TDMessage sendClipboard();

    // Captures the screen into a new file on the Desktop, in the background,
    // then shows it in the file viewer.
    void takeScreenshot();
    // Runs the capture tool to its end (background thread); shows the file
    // only when the tool wrote it.
    void captureScreen(const QString &path);
    void revealInFinder(const QString &path);

    // "<desktop folder>/Tendril_<whole seconds>.png".
    static QString screenshotPath(const QString &desktop, qint64 msecsSinceEpoch);

private:
    std::optional<TDMessage> clipboardImage();
    TDMessage clipboardText();

    Pasteboard &m_pasteboard;
    ScreenCapture &m_screenCapture;
    FileViewer &m_fileViewer;
    ActionLog m_log;
};
