#pragma once

// The recording-shaped file the benchmarks read: a heading and `records`
// lines of four channels a second apart, with a missing probe every 997th
// line and an over-range reading every 1499th, as the recorder writes them.

#include "recording/data_file.h"
#include "recording/data_file_writer.h"
#include "shared/reading_text.h"

#include <QDateTime>
#include <QString>

namespace quadtherm::bench {

inline bool writeRecordingSample(const QString& path, qint64 records) {
    const QDateTime start(QDate(2010, 11, 26), QTime(14, 5, 9));
    recording::DataFileWriter writer;
    bool ok = writer.open(path) &&
              writer.writeLine(recording::headingCells(QStringLiteral("°C"), {"K", "K", "J", "T"}));
    for (qint64 row = 1; ok && row <= records; ++row) {
        shared::PerChannel<QString> texts;
        for (int k = 0; k < shared::kChannels; ++k)
            texts[k] = shared::TenthsText(9000 + k * 3000 + (row * (k + 7)) % 8000);
        if (row % 997 == 0)
            texts[2] = QStringLiteral("- - -");
        if (row % 1499 == 0)
            texts[1] = QStringLiteral("Over");
        ok = writer.writeLine(
            recording::recordCells(row, recording::recordTimestamp(start.addSecs(row)), texts));
    }
    return writer.close() && ok;
}

} // namespace quadtherm::bench
