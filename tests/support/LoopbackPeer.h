#pragma once

#include "tests/support/LoopbackListener.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A one-connection-at-a-time HTTP peer on 127.0.0.1 for tests: records the raw
// bytes of every request and answers each with canned bytes.
class LoopbackPeer final
{
public:
    enum class Behaviour {
        Answer,      // read the request, send the reply, close
        NeverAnswer, // read the request, then hold the connection open
        CloseAtOnce, // accept and close without reading
        AnswerAtOnce, // send the reply without waiting for a request
    };

    explicit LoopbackPeer(std::string reply = {}, Behaviour behaviour = Behaviour::Answer);
    ~LoopbackPeer();

    LoopbackPeer(const LoopbackPeer &) = delete;
    LoopbackPeer &operator=(const LoopbackPeer &) = delete;

    std::uint16_t port() const { return m_listener.port(); }
    std::string endpoint(const std::string &path = "/Services/CheckUserLogin.asmx") const;

    void setReply(std::string reply);
    std::vector<std::string> requests() const;
    int connectionCount() const { return m_connections.load(); }

    // Canned answers.
    static std::string httpReply(int status, const std::string &body,
                                 const std::string &contentType = "application/soap+xml; charset=utf-8");
    static std::string chunkedReply(const std::string &body, std::size_t chunkSize = 7);
    // A SOAP 1.2 envelope as an ASP.NET service writes it, around `bodyContent`.
    static std::string soap12Envelope(const std::string &bodyContent);
    // The success answer with `result` as the result element's (already escaped) text.
    static std::string answer(const std::string &resultXml);
    static std::string fault12(const std::string &code, const std::string &reason,
                               const std::string &detail = {});

    // A port on 127.0.0.1 that nobody listens on.
    static std::uint16_t closedPort();

private:
    void run();
    void serve(int fd);

    LoopbackListener m_listener;
    Behaviour m_behaviour;
    mutable std::mutex m_mutex;
    std::string m_reply;
    std::vector<std::string> m_requests;
    std::atomic<int> m_connections{0};
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};
