#pragma once

#include <QObject>

class QSocketNotifier;

// Ends the program in order on SIGINT, SIGTERM and SIGHUP: the signal is
// handed from its handler through a pipe to the event loop, which then leaves
// with 128 + the signal number, so that the document is destroyed as usual
// and the memory image's backing file and its directory are removed.
class CSignalExit : public QObject {
    Q_OBJECT
public:
    explicit CSignalExit(QObject* parent = nullptr);
    ~CSignalExit() override;

private:
    void OnSignal();

    QSocketNotifier* notifier_ = nullptr;
};
