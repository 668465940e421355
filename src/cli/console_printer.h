#pragma once

#include "recording/record_converter.h"
#include "session/output_hub.h"

#include <QObject>

#include <functional>
#include <optional>

namespace quadtherm::cli {

class Console;

// What watch and record print, taken from the session's output like every
// other consumer's: a line, or with --json an object, for each frame read
// (watch) or each record written (record). It runs on the thread of the
// command's event loop and prints through the console, so a reader who stops
// reading costs printed lines, never a frame or a record.
class ConsolePrinter final : public session::OutputSink {
public:
    enum class Prints { Frames, Records };

    // `countReached` is called once `count` lines were printed (never for a
    // count below 1).
    ConsolePrinter(session::OutputHub& hub, Console& console, Prints what, bool json,
                   qint64 count = -1, std::function<void()> countReached = {});
    // Prints what the session published before the command ended.
    ~ConsolePrinter() override;
    ConsolePrinter(const ConsolePrinter&) = delete;
    ConsolePrinter& operator=(const ConsolePrinter&) = delete;

    void receive(const session::OutEvent& event) override;
    qint64 printed() const { return m_printed; }

private:
    void printFrame(const session::OutEvent& event);
    void printRecord(const session::OutSample& sample);

    session::OutputHub& m_hub;
    Console& m_console;
    Prints m_what;
    bool m_json;
    qint64 m_count;
    std::function<void()> m_countReached;
    QObject m_context;
    int m_id = 0;
    qint64 m_printed = 0;
    // What --json prints of a record is what export makes of its line.
    std::optional<recording::RecordConverter> m_toJson;
};

} // namespace quadtherm::cli
