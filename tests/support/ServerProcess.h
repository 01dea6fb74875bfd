#pragma once

#include <QProcess>
#include <QtGlobal>

// A test server run as a child process: started, it counts as up once its port takes a
// connection; stopped, it is asked to end and killed when it does not.
bool waitUntilListening(const QProcess &process, quint16 port, int timeoutMs);
void stopServerProcess(QProcess &process, int timeoutMs);
