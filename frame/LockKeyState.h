#pragma once

#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

// The keyboard's Caps, Num and Scroll Lock states, as far as the platform
// tells them. They are re-read when a key event reaches the application and on
// a slow timer while the application is active (another program can toggle a
// lock too). Where the platform tells nothing, every lock reads off.
class LockKeyState final : public QObject
{
    Q_OBJECT

public:
    struct Locks
    {
        bool caps = false;
        bool num = false;
        bool scroll = false;

        friend bool operator==(const Locks &, const Locks &) = default;
    };

    // Returns the current states, or nothing when they cannot be read now.
    using Reader = std::function<std::optional<Locks>()>;

    static constexpr int pollIntervalMs = 500;

    explicit LockKeyState(QObject *parent = nullptr);
    ~LockKeyState() override;

    // The platform's reader, or an empty function where there is none.
    static Reader platformReader();

    // Tests stand in for the keyboard here. An empty reader stops all polling
    // and leaves every lock off.
    void setReader(Reader reader);
    bool hasReader() const { return static_cast<bool>(m_reader); }

    Locks locks() const { return m_locks; }
    bool isTimerRunning() const { return m_timer.isActive(); }

public slots:
    // Reads the states now; emits changed() when they differ from the last read.
    void poll();

signals:
    void changed(const LockKeyState::Locks &locks);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void followApplicationState(Qt::ApplicationState state);
    void apply(const Locks &locks);

    Reader m_reader;
    Locks m_locks;
    QTimer m_timer;
    bool m_watchingKeys = false;
    bool m_pollQueued = false;
};
