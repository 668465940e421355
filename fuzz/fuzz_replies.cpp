// The status and clock replies. A reply is taken exactly when its bytes are
// framed as the meter frames it, and then says what those bytes say; a valid
// reply after stray bytes (status) or before them (clock) reads back as sent.

#include "fuzz_check.h"
#include "meter_link/meter_protocol.h"

#include <QRegularExpression>

#include <cstdint>

using namespace quadtherm;

namespace {

quint8 byteAt(const QByteArray& bytes, qsizetype i) {
    return static_cast<quint8>(bytes[i]);
}

void checkStatus(const QByteArray& reply) {
    const auto status = meter_link::parseStatusReply(reply);
    const qsizetype n = reply.size();
    const bool framed = n >= 7 && byteAt(reply, n - 7) == 0x02 && byteAt(reply, n - 2) == 0xFF &&
                        byteAt(reply, n - 1) == 0x03;
    FUZZ_CHECK(status.has_value() == framed);
    if (!status)
        return;
    FUZZ_CHECK(status->MemoryPointer ==
               byteAt(reply, n - 6) * 65536.0 + byteAt(reply, n - 5) * 256 + byteAt(reply, n - 4));
    FUZZ_CHECK(status->MemoryPointer >= 0 && status->MemoryPointer < 16777216.0);
    FUZZ_CHECK(status->ManualCount == byteAt(reply, n - 3));
}

void checkClock(const QByteArray& reply) {
    const auto clock = meter_link::parseClockReply(reply);
    const bool framed = reply.size() >= 8 && byteAt(reply, 0) == 0x02 && byteAt(reply, 7) == 0x03;
    FUZZ_CHECK(clock.has_value() == framed);
    if (!clock)
        return;
    const int fields[] = {clock->year, clock->month,  clock->day,
                          clock->hour, clock->minute, clock->second};
    for (int i = 0; i < 6; ++i)
        FUZZ_CHECK(fields[i] == byteAt(reply, i + 1));
    FUZZ_CHECK(clock->isSet() == (clock->month != 0 && clock->day != 0));
    // "yyyy/mm/dd hh:nn:ss", a field above 99 taking a third digit.
    static const QRegularExpression kText(
        QStringLiteral(R"(^20\d{2,3}/\d{2,3}/\d{2,3} \d{2,3}:\d{2,3}:\d{2,3}$)"));
    FUZZ_CHECK(kText.match(clock->text()).hasMatch());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    checkStatus(bytes);
    checkClock(bytes);
    if (size < 6)
        return 0;

    // What the meter sends, with the input's own bytes as the noise around it.
    QByteArray status = bytes;
    status += char(0x02);
    status += bytes.left(4);
    status += char(0xFF);
    status += char(0x03);
    const auto read = meter_link::parseStatusReply(status);
    FUZZ_CHECK(read && read->MemoryPointer == data[0] * 65536.0 + data[1] * 256 + data[2] &&
               read->ManualCount == data[3]);

    QByteArray clock(1, char(0x02));
    clock += bytes.left(6);
    clock += char(0x03);
    clock += bytes;
    const auto time = meter_link::parseClockReply(clock);
    FUZZ_CHECK(time && time->year == data[0] && time->month == data[1] && time->day == data[2] &&
               time->hour == data[3] && time->minute == data[4] && time->second == data[5]);
    return 0;
}
