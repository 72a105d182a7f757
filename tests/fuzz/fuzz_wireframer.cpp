// The session's wire framer on arbitrary arrivals: the input is cut into arrivals at its 0x00
// bytes. Messages never hold a terminator, and nothing kept grows past the message limit.
#include "client/foundation/protocol/wireformat.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WireFramer framer;
    const QByteArray input(reinterpret_cast<const char*>(data), int(size));
    for (const QByteArray& arrival : input.split('\0')) {
        for (const QString& message : framer.feed(arrival)) {
            if (message.contains(QChar(Wire::Terminator)) || message.size() > Wire::MaxMessageBytes)
                std::abort();
        }
        if (framer.keptBytes() > Wire::MaxMessageBytes)
            std::abort();
        framer.takeProblems();
    }
    return 0;
}
