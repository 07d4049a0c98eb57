// Feeds arbitrary batches of bytes and timer ticks into the receive assembly and checks
// that every frame it completes is made of the last eight bytes received, all of them
// after the last inter-byte time-out, starting with 0x01 and ending with 0x03.
//
// Input format: a control byte, then up to 63 data bytes. The control byte's low six bits
// give the batch length; its top two bits give 0, 7, 14 or 21 ticks of the gap timer
// before the batch (21 is past the 20-tick time-out).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "RxAssembler.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    keltrove::CRxAssembler assembler;
    std::vector<std::uint8_t> received;
    std::size_t sinceTimeout = 0;  // bytes received since the last time-out fired

    std::size_t pos = 0;
    while (pos < size) {
        const std::uint8_t control = data[pos++];
        for (int tick = 0; tick < (control >> 6) * 7; ++tick) {
            if (!assembler.Tick().empty()) sinceTimeout = 0;
        }
        const std::size_t batch = control & 0x3F;
        for (std::size_t i = 0; i < batch && pos < size; ++i, ++pos) {
            received.push_back(data[pos]);
            ++sinceTimeout;
            const keltrove::RxStep step = assembler.Push(data[pos]);
            if (!step.frame) continue;
            const keltrove::Frame& frame = *step.frame;
            Check(sinceTimeout >= frame.size());
            Check(keltrove::IsFramed(frame));
            for (std::size_t k = 0; k < frame.size(); ++k) {
                Check(frame[k] == received[received.size() - frame.size() + k]);
            }
        }
    }
    return 0;
}
