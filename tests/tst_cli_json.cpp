// quadtherm-cli --json against quadtherm-meter-sim through a real
// pseudo-terminal: every line a command prints is one JSON object, with the
// fields documented for it.

#include "support/cli_process.h"
#include "support/test_suite.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

namespace tst_cli_json {

using namespace quadtherm::test;

namespace {

const QString kIsoTime =
    QStringLiteral("~^20\\d\\d-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d$");

// Every line of standard output as a JSON object; a line that is none fails.
QList<QJsonObject> objectsOf(const QString& out, QString* bad) {
    QList<QJsonObject> objects;
    for (const QString& line : out.split('\n', Qt::SkipEmptyParts)) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &error);
        if (error.error != QJsonParseError::NoError || !document.isObject()) {
            *bad = line;
            return {};
        }
        objects.append(document.object());
    }
    return objects;
}

// Whether `actual` has exactly the keys of `expected`, each value equal to
// it, where an expected "*" stands for anything, "#" for any number, "#?"
// for a number or null, "~RE" for a string
// matching RE, and an array of one object for an array whose every element
// matches that object. What differs is said in `why`.
bool matches(const QJsonValue& actual, const QJsonValue& expected, const QString& at,
             QString* why) {
    if (expected.isString() && expected.toString() == "#") {
        *why = at + " is no number";
        return actual.isDouble();
    }
    if (expected.isString() && expected.toString() == "*")
        return true;
    if (expected.isString() && expected.toString() == "#?") {
        *why = at + " is neither a number nor null";
        return actual.isDouble() || actual.isNull();
    }
    if (expected.isString() && expected.toString().startsWith('~')) {
        *why = at + " does not match " + expected.toString();
        return actual.isString() &&
               QRegularExpression(expected.toString().mid(1)).match(actual.toString()).hasMatch();
    }
    if (expected.isArray()) {
        *why = at + " is no array";
        if (!actual.isArray())
            return false;
        const QJsonArray items = actual.toArray();
        for (qsizetype i = 0; i < items.size(); ++i)
            if (!matches(items[i], expected.toArray()[0], at + QStringLiteral("[%1]").arg(i), why))
                return false;
        return true;
    }
    if (expected.isObject()) {
        const QJsonObject want = expected.toObject(), have = actual.toObject();
        *why = at + " has the keys " + QStringList(have.keys()).join(',');
        if (!actual.isObject() || have.keys() != want.keys())
            return false;
        for (const QString& key : want.keys())
            if (!matches(have[key], want[key], at + '.' + key, why))
                return false;
        return true;
    }
    *why = at + " is not " +
           QString::fromUtf8(QJsonDocument(QJsonArray{expected}).toJson(QJsonDocument::Compact));
    return actual == expected;
}

// JSON written with single quotes, which a test reads more easily.
QJsonObject object(const char* json) {
    return QJsonDocument::fromJson(QByteArray(json).replace('\'', '"')).object();
}

} // namespace

class TestCliJson : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyCommandPrintsObjectsWithItsFields_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("simOptions");
        QTest::addColumn<int>("lines");
        QTest::addColumn<QJsonObject>("fields");
        const QStringList memory{"--manual",      "3",     "--sets",      "3",
                                 "--set-records", "4,0,3", "--set-units", "C,F",
                                 "--dump-speed",  "20"};
        const auto row = [&](const char* args, int lines, QJsonObject fields) {
            QTest::newRow(args) << QString(args).split(' ') << memory << lines << fields;
        };
        row("status", 1, object("{'memory_pointer':'#','manual_count':3}"));
        QJsonObject clock = object("{'clock':null}");
        clock["clock"] = kIsoTime;
        row("clock", 1, clock);
        clock["set"] = true;
        row("clock --set", 1, clock);
        row("interval", 1, object("{'interval_s':2}"));
        row("interval 30", 1, object("{'interval_s':30,'set':true}"));
        row("poweroff", 1, object("{'poweroff_min':'#'}"));
        row("poweroff 15", 1, object("{'poweroff_min':15,'set':true}"));
        row("memsize", 1, object("{'memsize':8,'memory_kb':512}"));
        row("memsize 4", 1, object("{'memsize':4,'memory_kb':256,'set':true}"));
        row("key HOLD", 1, object("{'key':'HOLD','long':false}"));
        row("key MEM --long", 1, object("{'key':'MEM','long':true}"));
        row("erase auto --yes", 1, object("{'erased':'record_sets'}"));
        row("erase manual --yes", 1, object("{'erased':'manual_readings'}"));
        QJsonObject set = object("{'set':'#','start':null,'interval_s':2,'records':'#',"
                                 "'unit':'~^°[CF]$','file':'~/sets/set-00[123]\\\\.4ch$'}");
        set["start"] = kIsoTime;
        row("download auto --out DIR/sets", 3, set);
        QJsonObject manual = object(
            "{'reading':'#','time':null,'unit':'~^°[CF]$',"
            "'channels':[{'channel':'~^T[1-4]$','type':'~^[KJT]$','state':'ok','value':'#'}]}");
        manual["time"] = kIsoTime;
        row("download manual --out DIR/manual.4ch", 3, manual);
    }
    void everyCommandPrintsObjectsWithItsFields() {
        QFETCH(QStringList, args);
        QFETCH(QStringList, simOptions);
        QFETCH(int, lines);
        QFETCH(QJsonObject, fields);
        MeterSimProcess sim(simOptions);
        QVERIFY(!sim.device().isEmpty());
        QTemporaryDir dir;
        args.replaceInStrings("DIR", dir.path());
        const Run r = cli(QStringList{"--port", sim.device(), "--timeout", "5", "--json"} + args);
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        QString bad, why;
        const QList<QJsonObject> objects = objectsOf(r.out, &bad);
        QVERIFY2(bad.isEmpty(), qPrintable("not a JSON object: " + bad));
        QCOMPARE(objects.size(), lines);
        for (const QJsonObject& printed : objects)
            QVERIFY2(matches(printed, fields, "line", &why), qPrintable(why + "\n" + describe(r)));
    }

    void downloadedSetsAreNumberedAndNamedInOrder() {
        MeterSimProcess sim(
            {"--sets", "2", "--set-records", "5,7", "--set-units", "C,F", "--dump-speed", "20"});
        QTemporaryDir dir;
        const Run r =
            cli({"--port", sim.device(), "--json", "download", "auto", "--out", dir.path()});
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        QString bad;
        const QList<QJsonObject> sets = objectsOf(r.out, &bad);
        QCOMPARE(sets.size(), 2);
        for (int s = 0; s < 2; ++s) {
            QCOMPARE(sets[s]["set"].toInt(), s + 1);
            QCOMPARE(sets[s]["records"].toInt(), s == 0 ? 5 : 7);
            QCOMPARE(sets[s]["unit"].toString(),
                     s == 0 ? QStringLiteral("°C") : QStringLiteral("°F"));
            QCOMPARE(sets[s]["file"].toString(),
                     dir.filePath(QStringLiteral("set-00%1.4ch").arg(s + 1)));
            QVERIFY(QFile::exists(sets[s]["file"].toString()));
        }
    }

    // Standard output holds JSON lines only: the note of an empty memory goes
    // to standard error.
    void anEmptyMemoryPrintsNoLine_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("note");
        QTest::newRow("record sets")
            << QStringList{"download", "auto", "--out", "DIR"} << "No Data in Memory";
        QTest::newRow("manual readings") << QStringList{"download", "manual", "--out", "DIR/m.4ch"}
                                         << "No Manually Recroded Data in Memoy!";
    }
    void anEmptyMemoryPrintsNoLine() {
        QFETCH(QStringList, args);
        QFETCH(QString, note);
        MeterSimProcess sim;
        QTemporaryDir dir;
        args.replaceInStrings("DIR", dir.path());
        const Run r = cli(QStringList{"--port", sim.device(), "--json"} + args);
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        QCOMPARE(r.out, QString());
        QVERIFY2(r.err.contains(note), qPrintable(r.err));
    }

    void watchPrintsEveryChannelWithBothUnits() {
        MeterSimProcess sim({"--types", "K,J,T,E", "--no-probe", "2"});
        const Run r = cli({"--port", sim.device(), "--json", "watch", "--count", "12"});
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        QString bad, why;
        const QList<QJsonObject> frames = objectsOf(r.out, &bad);
        QVERIFY2(bad.isEmpty(), qPrintable(bad));
        QCOMPARE(frames.size(), 12);
        QJsonObject read = object("{'time':null,'channel':'~^T[134]$','type':'~^[KTE]$',"
                                  "'state':'ok','value_c':'#','value_f':'#'}");
        read["time"] = kIsoTime;
        QJsonObject noProbe = object("{'time':null,'channel':'T2','type':'J','state':'no_probe','"
                                     "value_c':null,'value_f':null}");
        noProbe["time"] = kIsoTime;
        QSet<QString> channels;
        for (const QJsonObject& frame : frames) {
            const bool t2 = frame["channel"] == "T2";
            QVERIFY2(matches(frame, t2 ? noProbe : read, "frame", &why), qPrintable(why));
            channels.insert(frame["channel"].toString());
            if (t2)
                continue;
            const QString letters = "KJTE";
            QCOMPARE(frame["type"].toString(),
                     QString(letters[frame["channel"].toString()[1].digitValue() - 1]));
            // The two units of one reading, each to a tenth.
            const double c = frame["value_c"].toDouble(), f = frame["value_f"].toDouble();
            QVERIFY2(qAbs(c * 9 / 5 + 32 - f) < 0.2,
                     qPrintable(QStringLiteral("%1 °C %2 °F").arg(c).arg(f)));
        }
        QCOMPARE(channels.size(), 4);
    }

    // What record --json prints of a record is what export makes of the
    // line it wrote: the same bytes.
    void recordPrintsWhatExportMakesOfItsFile() {
        MeterSimProcess sim({"--fahrenheit", "--types", "K,J,12,T", "--no-probe", "4"});
        QTemporaryDir dir;
        const QString file = dir.filePath("run.4ch");
        const Run r = cli({"--port", sim.device(), "--timeout", "5", "--json", "record", "--out",
                           file, "--records", "3"});
        QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
        const QStringList records = checkRecords(contents(file));
        QCOMPARE(records.size(), 3);
        const Run exported = cli({"export", file, "--to", "jsonl"});
        QVERIFY2(exported.exitCode == 0, qPrintable(describe(exported)));
        QCOMPARE(r.out, exported.out);

        QString bad, why;
        const QList<QJsonObject> printed = objectsOf(r.out, &bad);
        QCOMPARE(printed.size(), 3);
        QJsonObject fields =
            object("{'record':'#','time':null,'elapsed_s':'#','unit':'°F',"
                   "'channels':[{'channel':'~^T[1-4]$','type':'*','state':'~^(ok|no_probe)$',"
                   "'value':'#?'}]}");
        fields["time"] = kIsoTime;
        for (int i = 0; i < 3; ++i) {
            const QJsonObject& record = printed[i];
            QVERIFY2(matches(record, fields, "record", &why), qPrintable(why));
            QCOMPARE(record["record"].toInt(), i + 1);
            const QStringList cells = records[i].split('\t');
            const QDateTime stamp = QDateTime::fromString(cells[1], "yyyy/MM/dd HH:mm:ss");
            QCOMPARE(record["time"].toString().left(19), stamp.toString("yyyy-MM-ddTHH:mm:ss"));
            const QDateTime first =
                QDateTime::fromString(records[0].split('\t')[1], "yyyy/MM/dd HH:mm:ss");
            QCOMPARE(record["elapsed_s"].toInteger(), first.secsTo(stamp));
            const QJsonArray channels = record["channels"].toArray();
            QCOMPARE(channels.size(), 4);
            QCOMPARE(channels[0]["type"].toString(), QStringLiteral("K"));
            QCOMPARE(channels[1]["type"].toString(), QStringLiteral("J"));
            QCOMPARE(channels[2]["type"], QJsonValue(QJsonValue::Null)); // type code 12
            QCOMPARE(channels[3]["type"].toString(), QStringLiteral("T"));
            QCOMPARE(channels[3]["state"].toString(), QStringLiteral("no_probe"));
            QCOMPARE(channels[3]["value"], QJsonValue(QJsonValue::Null));
            for (int k = 0; k < 3; ++k) {
                QCOMPARE(channels[k]["state"].toString(), QStringLiteral("ok"));
                QCOMPARE(channels[k]["value"].toDouble(), cells[2 + k].toDouble());
            }
        }
    }
};

QUADTHERM_TEST_SUITE(TestCliJson, Core)

} // namespace tst_cli_json

#include "tst_cli_json.moc"
