#pragma once

#include <QLibrary>
#include <QObject>
#include <QString>

#include <memory>
#include <thread>

class MainWindowModule;

// Brings the browser module up: behind the login dialog, the engine's share
// context and the module's libraries on a worker thread; at the login command,
// on the user-interface thread, the module's own preparation (the engine's
// start, which holds that thread a while). A failure is kept, not shown: the
// program tells the user after the sign-in.
class BrowserModuleLoader final : public QObject
{
    Q_OBJECT

public:
    // `modulePath`: the module's file, in the program folder.
    explicit BrowserModuleLoader(const QString &modulePath, QObject *parent = nullptr);
    ~BrowserModuleLoader() override;

    // Before the QApplication: where this Qt cannot take the engine's share
    // context late, asks Qt to make it in the QApplication constructor.
    static void chooseShareContextPath();

    // Starts loading the module, for this start-address buffer and program
    // folder; it is prepared once prepareNow() has been called as well.
    void start(const char *startUrlBuffer, const QString &programFolder);
    // Runs the event loop until the module is prepared or has failed (starting
    // the load when it has not started); the module, or null with error() set.
    MainWindowModule *waitUntilPrepared(const char *startUrlBuffer, const QString &programFolder);
    // The module's preparation (the engine's start) waits for this call, or
    // for waitUntilPrepared(): the login command, while the call is out.
    // Prepares at once when the module is loaded, else once it is.
    void prepareNow();

    bool finished() const { return m_state == State::Prepared || m_state == State::Failed; }
    MainWindowModule *module() const { return m_module.get(); }
    const QString &error() const { return m_error; }
    // With tracing on, the longest time the user-interface thread went
    // without handling events from start() to prepareNow(), or to this call,
    // traced as "loading stall".
    void stopProbe();
    // Whether that probe runs (with tracing off it never does).
    bool probing() const { return m_probe != nullptr; }

signals:
    void finishedLoading();

private:
    enum class State { Idle, Loading, Prepared, Failed };

    void loadOnWorker();
    void makeShareContextHere();
    void onLoaded();
    void prepareModule();
    void fail(const QString &error);

    QLibrary m_library;
    std::thread m_worker;
    // Written by the worker before it posts onLoaded(), read after.
    bool m_loaded = false;
    QString m_workerError;

    State m_state = State::Idle;
    bool m_prepareAsked = false;
    const char *m_startUrl = nullptr;
    QString m_programFolder;
    std::unique_ptr<MainWindowModule> m_module;
    QString m_error;

    // A precise timer every 4 ms and what it measured; made only when tracing.
    struct StallProbe;
    std::unique_ptr<StallProbe> m_probe;
};
