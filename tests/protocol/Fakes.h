// Test doubles for the protocol core's interfaces: a scripted link, a recording view, a
// fake pause and fake timers. Everything is recorded on one timeline so tests can check the
// order of frames, pauses, status texts and boxes.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "Frame.h"
#include "Interfaces.h"
#include "SessionTexts.h"
#include "WireTrace.h"

namespace keltrove::test {

inline std::string Report(int entry, std::string_view value) {
    Frame frame{};
    SetEntryFrame(frame, Command::EntryReport, static_cast<std::uint8_t>(entry), AlignValue(value));
    return std::string(frame.begin(), frame.end());
}

// What happened, in order: "tx:<hex>", "lost:<hex>", "pause:<ms>", "status:<text>",
// "box:<text> [OK]" or "[Yes/No]", "ended:whole" or "ended:missing <entries>", and for a
// write's read-back "readback:confirmed" or "readback:<why not>".
using Timeline = std::vector<std::string>;

class FakeLink : public IByteLink {
public:
    explicit FakeLink(Timeline& timeline) : m_Timeline(timeline) {}

    std::uint32_t Write(const std::uint8_t* bytes, std::uint32_t count) override {
        const bool fails = m_FailAfter == 0;
        if (m_FailAfter > 0) --m_FailAfter;
        m_Timeline.push_back((fails ? "lost:" : "tx:") + HexBytes({bytes, count}));
        return fails ? 0 : count;
    }
    std::size_t TakeReceived(std::uint8_t* out, std::size_t capacity) override {
        std::size_t n = 0;
        while (n < capacity && !m_Rx.empty()) {
            out[n++] = m_Rx.front();
            m_Rx.pop_front();
        }
        if (m_WhileTaking) m_WhileTaking();  // stands in for the watcher storing meanwhile
        return n;
    }
    std::size_t ReceivedCount() const override { return m_Rx.size(); }

    void Receive(std::string_view bytes) { m_Rx.insert(m_Rx.end(), bytes.begin(), bytes.end()); }
    // Writes succeed this many more times, then return 0; negative: always succeed.
    void FailAfter(int writes) { m_FailAfter = writes; }

    std::function<void()> m_WhileTaking;

private:
    Timeline& m_Timeline;
    std::deque<std::uint8_t> m_Rx;
    int m_FailAfter = -1;
};

class FakeView : public ISessionView {
public:
    explicit FakeView(Timeline& timeline) : m_Timeline(timeline) { m_Fields.fill(""); }

    void ShowEntryTexts(const EntryTexts& texts) override {
        m_Fields = texts;
        ++m_Refreshes;
    }
    void MarkReceived(int entry) override { m_Received.insert(entry); }
    void ShowStatus(SessionStatus status) override {
        m_Timeline.push_back("status:" + std::string(StatusText(status)));
    }
    MessageAnswer ShowMessage(const SessionMessage& message) override {
        const bool yesNo = message.buttons == MessageButtons::YesNo;
        m_Timeline.push_back("box:" + message.text + (yesNo ? " [Yes/No]" : " [OK]"));
        if (m_WhileBoxOpen) m_WhileBoxOpen();  // stands in for the box's own event loop
        return yesNo ? m_Answer : MessageAnswer::Ok;
    }
    void OnReadEnded(const ReadResult& result) override {
        if (result.mode == ReadMode::ReadBack) {
            m_Timeline.push_back("readback:" +
                                 (result.confirmed ? "confirmed" : ReadBackFailure(result)));
            return;
        }
        m_Timeline.push_back(result.whole ? "ended:whole"
                                          : "ended:missing " + DescribeEntries(result.missing));
    }

    void Type(int entry, std::string text) { m_Fields[EntryIndex(entry)] = std::move(text); }
    const std::string& Field(int entry) const { return m_Fields[EntryIndex(entry)]; }

    EntryTexts m_Fields;
    std::set<int> m_Received;
    int m_Refreshes = 0;
    MessageAnswer m_Answer = MessageAnswer::Yes;
    std::function<void()> m_WhileBoxOpen;

private:
    Timeline& m_Timeline;
};

class FakePause : public IPause {
public:
    explicit FakePause(Timeline& timeline) : m_Timeline(timeline) {}
    void Pause(std::chrono::milliseconds duration) override {
        m_Timeline.push_back("pause:" + std::to_string(duration.count()));
        if (m_WhilePaused) m_WhilePaused();  // stands in for what the line brings meanwhile
    }
    std::function<void()> m_WhilePaused;

private:
    Timeline& m_Timeline;
};

class FakeTimers : public ITickTimers {
public:
    void SetTicking(TickTimer timer, bool on) override {
        (timer == TickTimer::Reply ? m_bReply : m_bGap) = on;
    }
    bool m_bReply = false;
    bool m_bGap = false;
};

}  // namespace keltrove::test
