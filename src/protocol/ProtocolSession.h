// ProtocolSession: the main dialog's conversation with the device, without the toolkit.
//
// It holds the dialog's protocol state (outgoing and incoming frame, receive assembly,
// reply watchdog, the 32 entry texts) and carries out the dialog's protocol operations:
// draining received bytes into frames and entry values, the two countdowns, the read
// request and the paced write sequence. It reaches the port, the window and the clock
// only through the interfaces it is given.
//
// Window's thread only. The view's message box may run a nested event loop, so
// OnRxNotify and OnTimer may be entered while a box opened by OnTimer or OnWrite is up;
// the state is consistent at every such point.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string_view>

#include "EntryTable.h"
#include "Frame.h"
#include "Interfaces.h"
#include "RxAssembler.h"

namespace keltrove {

// The dialog's periodic timers. Only 2 (reply watchdog) and 4 (inter-byte gap) do work.
struct TimerSpec {
    unsigned id;
    int periodMs;
};
inline constexpr unsigned kTimerWatchdog = 2;
inline constexpr unsigned kTimerRxGap = 4;
inline constexpr std::array<TimerSpec, 4> kDialogTimers{{{1, 1000}, {2, 50}, {3, 1000}, {4, 10}}};

// Status texts. The trailing blanks cover what a longer earlier text left behind.
inline constexpr std::string_view kStatusReading = "Reading....                         ";
inline constexpr std::string_view kStatusReadDone = "Reading is completed";
inline constexpr std::string_view kStatusWriting = "Writing....                    ";
inline constexpr std::string_view kStatusWriteDone = "Writing is Completed";
inline constexpr std::string_view kStatusWriteFailed = "Writing failed";
inline constexpr std::string_view kMsgNotConnected = "DERID Not Connected";

class CProtocolSession {
public:
    static constexpr std::uint8_t kReplyTicks = 5;  // ticks of the 50 ms timer
    static constexpr std::chrono::milliseconds kWritePause{100};

    CProtocolSession(IDialogView& view, IByteLink& link, IPause& pause);

    // Dialog start: watchdog idle and the first refresh (32 empty fields).
    void OnInitDialog();

    // Received bytes were queued: drain every one, evaluate every completed frame, and
    // refresh the fields if at least one entry report was accepted.
    void OnRxNotify();

    // A tick of dialog timer `id`.
    void OnTimer(unsigned id);

    // Evaluates m_RxFrame as it stands. Returns true for an accepted entry report.
    bool EvaluateRxFrame();

    // Puts m_TxFrame on the line unchanged; returns the bytes written (8 when it went out).
    std::uint32_t SendTxFrame();

    // "Read": request, clear the entry texts, arm the watchdog.
    void OnRead();

    // "Write": begin, 32 entry frames, end, paced by pauses; stops at the first failed frame.
    // Returns true when all 34 frames went out.
    bool OnWrite();

    // Takes the 32 field texts into m_EntryText (ending the dialog with OK).
    void TakeFieldTexts();

    const Frame& TxFrame() const { return m_TxFrame; }
    const CRxAssembler& RxAssembly() const { return m_RxAssembly; }
    const CTickCountdown& NoReplyTicks() const { return m_NoReplyTicks; }
    const EntryTexts& EntryText() const { return m_EntryText; }

private:
    bool SendEntryFrame(int entry);
    void ShowEntryValue(int entry);
    void ClearEntries();
    void Refresh();
    void ShowStatus(std::string_view text);
    void ReportWriteFailed();

    IDialogView& m_View;
    IByteLink& m_Link;
    IPause& m_Pause;

    Frame m_TxFrame = kInitialFrame;  // bytes 2..6 carry over into command frames
    CRxAssembler m_RxAssembly;        // m_RxFrame, m_RxPos, m_RxGapTicks
    CTickCountdown m_NoReplyTicks;
    EntryTexts m_EntryText;  // unaligned, as received, cleared or written
};

}  // namespace keltrove
