#pragma once

#include "ModalAnswerer.h"
#include "ScriptedFtpServer.h"
#include "TestAppDir.h"

#include "app/kit/ErrorMessage.h"
#include "app/publish/UpFor.h"
#include "settings/SettingsFile.h"

#include <QApplication>
#include <QStringList>

// What a window test starts from: a fresh application directory, error messages collected
// instead of shown, and any upload window closed by the user before it connects (these
// tests are about what happens on disk; the upload has tests of its own).
class WindowTestBed
{
public:
    WindowTestBed()
    {
        // The program ends with its last window; the test run must go on after that.
        QApplication::setQuitOnLastWindowClosed(false);
        Kakiva::setErrorPresenter([this](QWidget *, const QString &message) { errors << message; });
    }
    ~WindowTestBed() { Kakiva::setErrorPresenter({}); }
    WindowTestBed(const WindowTestBed &) = delete;
    WindowTestBed &operator=(const WindowTestBed &) = delete;

    // A server that refuses every connection: saving then opens the upload window, which
    // is closed before it connects.
    void setServer()
    {
        Kakiva::IniWrite(Kakiva::FtpSection, Kakiva::ServerKey,
                         QStringLiteral("127.0.0.1:%1").arg(refusedLoopbackPort()));
    }

    TestAppDir appDir;
    QStringList errors;
    ModalAnswerer<Kakiva::UpFor> uploads{[](Kakiva::UpFor *window) { window->close(); }};
};
