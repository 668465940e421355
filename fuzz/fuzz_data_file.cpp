// The data-file reader. Whatever the bytes, it reads exactly the lines a
// plain reference reading finds (lines end at CR LF, LF or a CR alone) up to
// the first line the six-value rule cannot split, every line read has six
// values without a TAB or line end in them, and the same text arriving in
// blocks of any size is read the same.

#include "fuzz_check.h"
#include "recording/data_file.h"

#include <cstdint>
#include <cstring>
#include <vector>

using namespace quadtherm;
using recording::DataFileLines;
using recording::SixValues;

namespace {

struct Reference {
    std::vector<QByteArray> lines;
    std::vector<SixValues> values;
    bool malformed = false;
};

// One byte at a time, the six values from the text-based rule.
Reference readByHand(const QByteArray& text) {
    Reference ref;
    qsizetype at = 0;
    while (at < text.size()) {
        qsizetype end = at;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r')
            ++end;
        const QByteArray line = text.mid(at, end - at);
        at = end;
        if (at < text.size())
            at += text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1;
        const auto values = recording::splitSixValues(QString::fromLatin1(line));
        if (!values) {
            ref.malformed = true;
            break;
        }
        ref.lines.push_back(line);
        ref.values.push_back(*values);
    }
    return ref;
}

void checkSame(const DataFileLines& lines, const Reference& ref) {
    FUZZ_CHECK(lines.count() == qsizetype(ref.lines.size()));
    FUZZ_CHECK(lines.stoppedAtMalformedLine() == ref.malformed);
    for (qsizetype i = 0; i < lines.count(); ++i) {
        FUZZ_CHECK(lines.line(i) == ref.lines[size_t(i)]);
        const SixValues values = lines.values(i);
        FUZZ_CHECK(values == ref.values[size_t(i)]);
        for (int col = 0; col < recording::kDataFileColumns; ++col) {
            FUZZ_CHECK(lines.value(i, col) == values[col]);
            FUZZ_CHECK(!values[col].contains(u'\t') && !values[col].contains(u'\n') &&
                       !values[col].contains(u'\r'));
        }
    }
    FUZZ_CHECK(lines.line(lines.count()).isEmpty() && lines.value(-1, 0).isEmpty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    const Reference ref = readByHand(text);
    const DataFileLines whole(text);
    checkSame(whole, ref);

    // As the file reader gets it: blocks of a size the input picks.
    const qsizetype block = 1 + (size > 0 ? data[size - 1] % 16 : 0);
    DataFileLines arriving = DataFileLines::forArrivingText(text.size());
    qsizetype filled = 0;
    do {
        const qsizetype got = std::min(block, text.size() - filled);
        std::memcpy(arriving.textData() + filled, text.constData() + filled, size_t(got));
        filled += got;
        arriving.indexUpTo(filled, filled == text.size());
    } while (filled < text.size() && !arriving.stoppedAtMalformedLine());
    checkSame(arriving, ref);
    return 0;
}
