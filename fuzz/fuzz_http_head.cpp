// The check every request head passes before the web server's parser sees
// it. Whatever the bytes and however the client splits them: the same heads
// are counted and the same refusal given as for the bytes in one piece; a
// refusal is one of the four statuses and stays; bytes that were let through
// hold only what a head may (visible ASCII, TAB, and CR only before LF);
// each head let through starts with GET or HEAD, HTTP/1.0 or 1.1; and no
// head grows past the limit without a refusal.

#include "fuzz_check.h"
#include "http/request_head_filter.h"

#include <QList>

#include <algorithm>
#include <cstdint>

using quadtherm::http::RequestHeadFilter;

namespace {

// Small limits, so that the fuzzer reaches them.
constexpr RequestHeadFilter::Limits kLimits{256, 6};

bool mayPass(const QByteArray& bytes) {
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] != '\n')
            return false;
        if (c != '\t' && c != '\n' && c != '\r' && (c < 0x20 || c > 0x7e))
            return false;
    }
    return true;
}

// The heads of bytes that passed: each ended by an empty line, empty lines
// before a request line skipped.
void checkHeads(const QByteArray& bytes, int heads) {
    int found = 0;
    bool inHead = false;
    QList<QByteArray> lines = bytes.split('\n');
    lines.removeLast(); // unfinished, or empty after the last line end
    for (QByteArray line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty()) {
            found += inHead ? 1 : 0;
            inHead = false;
            continue;
        }
        if (!inHead) {
            FUZZ_CHECK(line.startsWith("GET /") || line.startsWith("HEAD /"));
            FUZZ_CHECK(line.endsWith(" HTTP/1.0") || line.endsWith(" HTTP/1.1"));
            FUZZ_CHECK(line.count(' ') == 2);
            FUZZ_CHECK(line.size() <= kLimits.maxHeadBytes);
        }
        inHead = true;
    }
    FUZZ_CHECK(found == heads);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    // The first byte sets the size of the pieces the rest arrives in.
    const qsizetype piece = data[0] % 17 + 1;
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 1, qsizetype(size) - 1);

    RequestHeadFilter whole(kLimits);
    const RequestHeadFilter::Result once = whole.feed(bytes);

    RequestHeadFilter split(kLimits);
    int heads = 0;
    int refusal = 0;
    for (qsizetype at = 0; at < bytes.size(); at += piece) {
        const auto result =
            split.feed(QByteArrayView(bytes).sliced(at, std::min(piece, bytes.size() - at)));
        heads += result.heads;
        if (refusal != 0)
            FUZZ_CHECK(result.refusal == refusal && result.heads == 0);
        refusal = result.refusal;
        if (refusal != 0)
            FUZZ_CHECK(!result.reason.isEmpty());
    }
    FUZZ_CHECK(heads == once.heads);
    FUZZ_CHECK(refusal == once.refusal);
    FUZZ_CHECK(once.refusal == 0 || once.refusal == 400 || once.refusal == 405 ||
               once.refusal == 414 || once.refusal == 431);
    if (once.refusal == 0) {
        FUZZ_CHECK(mayPass(bytes));
        checkHeads(bytes, once.heads);
    }
    // A refusal stays whatever comes after it.
    if (once.refusal != 0)
        FUZZ_CHECK(whole.feed("GET / HTTP/1.1\r\n\r\n").refusal == once.refusal);
    return 0;
}
