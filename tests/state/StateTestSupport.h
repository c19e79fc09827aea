#pragma once

#include "state/InstallerModel.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <filesystem>
#include <optional>

namespace ZunoInstaller::Test {

// A throw-away application bundle: Contents/Info.plist (optional), the
// payload folder with its Install.command, and an English string table.
class TestBundle {
public:
    // versionValue: the XML value under CFBundleShortVersionString, e.g.
    // "<string>1.4.0</string>"; none leaves the key out.
    explicit TestBundle(const std::optional<QString>& versionValue = QStringLiteral("<string>1.4.0</string>"));

    Bundle bundle() const;
    QString payload() const;
    void writeScript(const QByteArray& body) const; // a /bin/sh script; it runs in the payload folder
    void removePayload() const;
    void openGate() const; // lets a script blocked in waitForGate go on
    QByteArray readPayloadFile(const QString& name) const;

private:
    QTemporaryDir m_dir;
};

// A throw-away home folder, with or without a stand-in Codex desktop app.
class TestHome {
public:
    TestHome();
    std::filesystem::path home() const;
    std::filesystem::path tool() const;
    void installCodex() const;
    void removeCodex() const;

private:
    QTemporaryDir m_dir;
};

// Script pieces: the lines of a successful run for a version, and a wait for
// the test to open the gate.
QByteArray successLines(const QByteArray& version);
inline constexpr char waitForGate[] = "while [ ! -e gate ]; do sleep 0.01; done\n";

// Every assignment the model announces, as "field=value" (and "changed"),
// and whether any announcement came on a thread other than the model's.
class Recorder {
public:
    explicit Recorder(InstallerModel& model);
    QStringList events;
    int offThread = 0;

private:
    QObject m_context; // ends the recording when the recorder goes (declared last: destroyed first)
};

QString text(InstallerScreen screen);
QString text(std::optional<InstallStage> stage);

// Runs the event loop until done() holds; false after a generous timeout.
bool waitUntil(const std::function<bool()>& done);
// Waits until the model has left the progress screen.
bool waitForCompletion(const InstallerModel& model);
// Lets every started run end and delivers what it posted.
void drainRuns();

} // namespace ZunoInstaller::Test
