// The conversion of data files for export. Whatever the bytes: a line is
// taken as a record by the CSV and the JSON converter alike; a CSV row is
// one line of eleven unquoted fields whose states are the five words and
// whose value is a number exactly when the state is "ok"; the JSON line is
// an object holding the same record, number and value for value; a refused
// line adds nothing and says why; and the file streamed from disk gives the
// same bytes as its lines converted one by one, up to the first it refuses.

#include "fuzz_check.h"
#include "recording/data_file_export.h"
#include "recording/record_converter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <vector>

using namespace quadtherm;
using recording::ExportFormat;

namespace {

const QByteArray kHeading("\xB0"
                          "C\tDate Time\tT1 - K\tT2 - K\tT3 - J\tT4 - T\t");

// Lines as the reader splits them: at CR LF, LF or a CR alone.
std::vector<QByteArray> linesOf(const QByteArray& text) {
    std::vector<QByteArray> lines;
    qsizetype at = 0;
    while (at < text.size()) {
        qsizetype end = at;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r')
            ++end;
        lines.push_back(text.mid(at, end - at));
        at = end;
        if (at < text.size())
            at += text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1;
    }
    return lines;
}

bool isState(const QByteArray& field) {
    return field == "ok" || field == "over" || field == "under" || field == "no_probe" ||
           field == "empty";
}

void checkRow(const QByteArray& csv, const QByteArray& json) {
    FUZZ_CHECK(csv.endsWith("\r\n") && csv.count('\n') == 1 && csv.count('\r') == 1);
    FUZZ_CHECK(!csv.contains('"'));
    const QList<QByteArray> fields = csv.chopped(2).split(',');
    FUZZ_CHECK(fields.size() == 11);
    FUZZ_CHECK(json.endsWith('\n') && json.count('\n') == 1);
    QJsonParseError error;
    const QJsonObject record = QJsonDocument::fromJson(json, &error).object();
    FUZZ_CHECK(error.error == QJsonParseError::NoError && record.size() == 5);
    bool number = false;
    FUZZ_CHECK(fields[0].toLongLong(&number) == record["record"].toInteger() && number);
    FUZZ_CHECK(fields[1] == record["time"].toString().toLatin1());
    FUZZ_CHECK(fields[1].size() == 25 || fields[1].size() == 28);
    FUZZ_CHECK(fields[2].toLongLong(&number) == record["elapsed_s"].toInteger() && number);
    const QJsonArray channels = record["channels"].toArray();
    FUZZ_CHECK(channels.size() == 4);
    for (int k = 0; k < 4; ++k) {
        const QByteArray& value = fields[3 + 2 * k];
        const QByteArray& state = fields[4 + 2 * k];
        const QJsonObject channel = channels[k].toObject();
        FUZZ_CHECK(isState(state) && channel["state"].toString().toLatin1() == state);
        FUZZ_CHECK(value.isEmpty() == (state != "ok"));
        FUZZ_CHECK(channel["value"].isNull() == (state != "ok"));
        if (state == "ok") {
            const double parsed = value.toDouble(&number);
            FUZZ_CHECK(number && parsed == channel["value"].toDouble());
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::vector<QByteArray> lines = linesOf(text);
    const QTimeZone zone("Europe/Berlin");

    // Line by line, under the input's own heading when it has one.
    const bool ownHeading = !lines.empty() && recording::readHeading(lines[0]).has_value();
    const auto heading = recording::readHeading(ownHeading ? lines[0] : kHeading);
    FUZZ_CHECK(heading.has_value());
    recording::RecordConverter csv(*heading, {ExportFormat::Csv}, zone);
    recording::RecordConverter jsonl(*heading, {ExportFormat::JsonLines}, zone);
    QByteArray expected = csv.header();
    bool refused = !ownHeading;
    qint64 records = 0;
    for (size_t i = ownHeading ? 1 : 0; i < lines.size(); ++i) {
        QByteArray row, json;
        QString why;
        const bool taken = csv.appendRecord(lines[i], row, &why);
        FUZZ_CHECK(taken == jsonl.appendRecord(lines[i], json));
        FUZZ_CHECK(taken ? !row.isEmpty() : row.isEmpty() && json.isEmpty() && !why.isEmpty());
        if (taken)
            checkRow(row, json);
        if (!refused && taken) {
            expected += row;
            ++records;
        }
        refused = refused || !taken;
    }

    // From a file, block by block.
    const int fd = ::memfd_create("fuzz_export", MFD_CLOEXEC);
    FUZZ_CHECK(fd >= 0 && ::write(fd, data, size) == ssize_t(size));
    recording::DataFileExport file(QStringLiteral("/proc/self/fd/%1").arg(fd), {}, zone);
    FUZZ_CHECK(file.isOpen());
    QByteArray streamed;
    recording::DataFileExport::Step step = recording::DataFileExport::Step::More;
    while (step == recording::DataFileExport::Step::More)
        step = file.next(streamed);
    ::close(fd);
    if (!ownHeading) {
        FUZZ_CHECK(step == recording::DataFileExport::Step::BadLine && streamed.isEmpty());
        return 0;
    }
    const bool longLine = std::any_of(lines.begin(), lines.end(), [](const QByteArray& line) {
        return line.size() > recording::DataFileExport::kMaxLineBytes;
    });
    FUZZ_CHECK(step == (refused || longLine ? recording::DataFileExport::Step::BadLine
                                            : recording::DataFileExport::Step::Done));
    if (!longLine) {
        FUZZ_CHECK(streamed == expected);
        FUZZ_CHECK(file.records() == records);
    }
    return 0;
}
