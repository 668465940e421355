#include "cli/console_printer.h"

#include "cli/console.h"
#include "recording/data_file.h"
#include "recording/data_file_writer.h"
#include "recording/reading_json.h"
#include "shared/reading_text.h"

#include <QCoreApplication>

namespace quadtherm::cli {

using session::OutEvent;

namespace {

// Generous: the printer shares the session's thread in the command-line
// program, so its mailbox is emptied between any two events the session sends.
constexpr int kPrinterMailbox = 1 << 16;

} // namespace

ConsolePrinter::ConsolePrinter(session::OutputHub& hub, Console& console, Prints what, bool json,
                               qint64 count, std::function<void()> countReached)
    : m_hub(hub), m_console(console), m_what(what), m_json(json), m_count(count),
      m_countReached(std::move(countReached)) {
    const OutEvent::Kind kind =
        what == Prints::Frames ? OutEvent::Kind::Frame : OutEvent::Kind::Cycle;
    m_id = m_hub.attach(this, &m_context, kPrinterMailbox, session::outKindBit(kind));
}

ConsolePrinter::~ConsolePrinter() {
    // The command's loop has ended: what the hub still holds for this printer
    // is printed, and nothing calls back into the command any more.
    m_countReached = nullptr;
    QCoreApplication::sendPostedEvents(&m_context, QEvent::MetaCall);
    if (const quint64 lost = m_hub.dropped(m_id); lost > 0)
        m_console.error(
            QStringLiteral("the printer fell behind: %1 of the session's %2 were not printed")
                .arg(lost)
                .arg(m_what == Prints::Frames ? QStringLiteral("frames")
                                              : QStringLiteral("cycles")));
    m_hub.detach(m_id);
}

void ConsolePrinter::receive(const session::OutEvent& event) {
    if (m_what == Prints::Frames && event.kind == OutEvent::Kind::Frame)
        printFrame(event);
    else if (m_what == Prints::Records && event.kind == OutEvent::Kind::Cycle &&
             event.sample.record > 0)
        printRecord(event.sample);
    else
        return;
    if (++m_printed == m_count && m_countReached)
        m_countReached();
}

void ConsolePrinter::printFrame(const session::OutEvent& event) {
    const shared::LiveChannel& frame = event.frame;
    if (m_json) {
        m_console.print(QString::fromUtf8(
            recording::jsonLine(recording::liveReadingJson(frame, event.sample.at))));
        return;
    }
    const QString shown = shared::shownReadingText(frame.present, frame.over, frame.under,
                                                   frame.textF + QStringLiteral(" °F  ") +
                                                       frame.textC + QStringLiteral(" °C"));
    const QString letter = frame.type.isEmpty() ? QStringLiteral("?") : frame.type;
    m_console.print(QStringLiteral("T%1  %2  %3\n").arg(frame.channel + 1).arg(letter, shown));
}

void ConsolePrinter::printRecord(const session::OutSample& sample) {
    const QString timestamp = recording::recordTimestamp(sample.at);
    shared::PerChannel<QString> texts;
    for (int k = 0; k < shared::kChannels; ++k)
        texts[k] = sample.channels[k].text;
    if (!m_json) {
        m_console.print(QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\n")
                            .arg(QString::number(sample.record), timestamp, texts[0], texts[1],
                                 texts[2], texts[3]));
        return;
    }
    if (!m_toJson) {
        recording::DataFileHeading heading{sample.fahrenheit, {}};
        for (int k = 0; k < shared::kChannels; ++k)
            heading.types[k] = sample.channels[k].type;
        m_toJson.emplace(heading, recording::ExportOptions{recording::ExportFormat::JsonLines});
    }
    const QByteArray line =
        recording::dataFileLine(recording::recordCells(sample.record, timestamp, texts)).chopped(2);
    QByteArray json;
    QString why;
    if (m_toJson->appendRecord(line, json, &why))
        m_console.print(QString::fromUtf8(json));
    else
        m_console.error(
            QStringLiteral("record %1 cannot be printed as JSON: %2").arg(sample.record).arg(why));
}

} // namespace quadtherm::cli
