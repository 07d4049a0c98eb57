// Test doubles for the protocol core's interfaces: a scripted link, a recording window
// and a fake clock for the write pauses. Everything is recorded on one timeline so tests
// can check the order of frames, pauses, status texts and boxes.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "Frame.h"
#include "Interfaces.h"

namespace keltrove::test {

inline std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s.push_back(static_cast<char>(v));
    return s;
}

inline std::string Report(int entry, std::string_view value) {
    Frame frame{};
    SetEntryFrame(frame, Command::EntryReport, static_cast<std::uint8_t>(entry), value);
    return std::string(frame.begin(), frame.end());
}

// What happened, in order: "tx:<hex>", "pause:<ms>", "status:<text>", "box:<text>".
using Timeline = std::vector<std::string>;

inline std::string Hex(const std::uint8_t* bytes, std::size_t n) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < n; ++i) {
        if (i) out.push_back(' ');
        out.push_back(digits[bytes[i] >> 4]);
        out.push_back(digits[bytes[i] & 15]);
    }
    return out;
}

class FakeLink : public IByteLink {
public:
    explicit FakeLink(Timeline& timeline) : m_Timeline(timeline) {}

    std::uint32_t Write(const std::uint8_t* bytes, std::uint32_t count) override {
        const bool fails = m_FailAfter == 0;
        if (m_FailAfter > 0) --m_FailAfter;
        m_Timeline.push_back((fails ? "lost:" : "tx:") + Hex(bytes, count));
        return fails ? 0 : count;
    }
    std::size_t TakeReceived(std::uint8_t* out, std::size_t capacity) override {
        std::size_t n = 0;
        while (n < capacity && !m_Rx.empty()) {
            out[n++] = m_Rx.front();
            m_Rx.pop_front();
        }
        return n;
    }

    void Receive(std::string_view bytes) { m_Rx.insert(m_Rx.end(), bytes.begin(), bytes.end()); }
    // Writes succeed this many more times, then return 0; negative: always succeed.
    void FailAfter(int writes) { m_FailAfter = writes; }

private:
    Timeline& m_Timeline;
    std::deque<std::uint8_t> m_Rx;
    int m_FailAfter = -1;
};

class FakeView : public IDialogView {
public:
    explicit FakeView(Timeline& timeline) : m_Timeline(timeline) { m_Fields.fill(""); }

    std::string EntryFieldText(int entry) const override { return m_Fields[Index(entry)]; }
    void ShowEntryTexts(const EntryTexts& texts) override {
        m_Fields = texts;
        ++m_Refreshes;
    }
    void UseValueFont(int entry) override { m_ValueFont.insert(entry); }
    void ShowStatus(std::string_view text) override {
        m_Timeline.push_back("status:" + std::string(text));
    }
    MessageAnswer ShowMessage(std::string_view text, MessageButtons buttons) override {
        m_Timeline.push_back("box:" + std::string(text) +
                             (buttons == MessageButtons::YesNo ? " [Yes/No]" : " [OK]"));
        if (m_WhileBoxOpen) m_WhileBoxOpen();  // stands in for the box's own event loop
        return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
    }

    void Type(int entry, std::string text) { m_Fields[Index(entry)] = std::move(text); }
    const std::string& Field(int entry) const { return m_Fields[Index(entry)]; }

    EntryTexts m_Fields;
    std::set<int> m_ValueFont;
    int m_Refreshes = 0;
    std::function<void()> m_WhileBoxOpen;

private:
    static std::size_t Index(int entry) { return static_cast<std::size_t>(entry - 1); }
    Timeline& m_Timeline;
};

class FakePause : public IPause {
public:
    explicit FakePause(Timeline& timeline) : m_Timeline(timeline) {}
    void Pause(std::chrono::milliseconds duration) override {
        m_Timeline.push_back("pause:" + std::to_string(duration.count()));
    }

private:
    Timeline& m_Timeline;
};

}  // namespace keltrove::test
