#include "http/live_json.h"

#include "recording/local_time_offsets.h"
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace quadtherm::http {

namespace {

QJsonValue unitName(const LiveView& view) {
    if (!view.latest)
        return QJsonValue::Null;
    return view.latest->fahrenheit ? QStringLiteral("fahrenheit") : QStringLiteral("celsius");
}

QJsonValue number(const std::optional<double>& value) {
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

} // namespace

QByteArray liveJson(const LiveView& view) {
    QJsonObject out{
        {QStringLiteral("port"), view.port},
        {QStringLiteral("link"), view.linkUp},
        {QStringLiteral("recording"), view.recording},
        {QStringLiteral("records"), double(view.records)},
        {QStringLiteral("unit"), unitName(view)},
        {QStringLiteral("time"), view.latest ? QJsonValue(recording::isoTimeText(view.latest->at))
                                             : QJsonValue(QJsonValue::Null)},
    };
    QJsonArray channels;
    if (view.latest) {
        for (int k = 0; k < shared::kChannels; ++k) {
            const auto& reading = view.latest->channels[k];
            channels.append(QJsonObject{
                {QStringLiteral("channel"), QStringLiteral("T%1").arg(k + 1)},
                {QStringLiteral("type"), reading.type},
                {QStringLiteral("state"), session::readingStateName(reading.state)},
                {QStringLiteral("value"), number(reading.value)},
                {QStringLiteral("text"), reading.text},
                {QStringLiteral("unit"), unitName(view)},
                {QStringLiteral("alarm"), reading.alarm},
            });
        }
    }
    out.insert(QStringLiteral("channels"), channels);
    return QJsonDocument(out).toJson(QJsonDocument::Compact);
}

QByteArray historyJson(const LiveView& view, const std::deque<HistoryPoint>& history) {
    QJsonArray points;
    for (const HistoryPoint& point : history) {
        QJsonArray row{double(point.atMs)};
        for (const auto& value : point.values)
            row.append(number(value));
        points.append(row);
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("port"), view.port},
                                     {QStringLiteral("unit"), unitName(view)},
                                     {QStringLiteral("points"), points}})
        .toJson(QJsonDocument::Compact);
}

} // namespace quadtherm::http
