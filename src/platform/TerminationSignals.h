#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP as a Qt signal: the operating system's signal only writes a
// byte into a pipe, and the event loop turns it into Requested(), so the program ends
// through its normal closing steps instead of dying where it stands.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

signals:
    void Requested();

private:
    QSocketNotifier *notifier = nullptr;
};
