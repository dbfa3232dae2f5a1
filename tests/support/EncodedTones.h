#pragma once

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTest>

/// Sound files in every format the player plays besides plain WAV, each made from a WAV tone
/// by an encoder, so that no sound file ships with the tests.
namespace EncodedTones {

/// Adds the columns "fileName" and "command" (the encoder's command line, in which {in} and
/// {out} stand for the two files) and a row for each format.
inline void addRows()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QStringList>("command");
    const auto sox = [](QStringList options = {}) {
        return QStringList{"sox", "{in}"} + options + QStringList{"{out}"};
    };
    QTest::newRow("flac") << "tone.flac" << sox();
    QTest::newRow("ogg vorbis") << "tone.ogg" << sox();
    QTest::newRow("opus") << "tone.opus" << QStringList{"opusenc", "--quiet", "{in}", "{out}"};
    QTest::newRow("mp3") << "tone.mp3" << QStringList{"lame", "--quiet", "{in}", "{out}"};
    QTest::newRow("aiff") << "tone.aiff" << sox();
    QTest::newRow("au") << "tone.au" << sox();
    QTest::newRow("wavpack") << "tone.wv" << sox();
    QTest::newRow("wav mu-law") << "mulaw.wav" << sox({"-e", "u-law"});
    QTest::newRow("wav a-law") << "alaw.wav" << sox({"-e", "a-law"});
    QTest::newRow("wav ms adpcm") << "ms.wav" << sox({"-e", "ms-adpcm"});
    QTest::newRow("wav ima adpcm") << "ima.wav" << sox({"-e", "ima-adpcm"});
    QTest::newRow("wav gsm") << "gsm.wav" << sox({"-e", "gsm-full-rate", "-r", "8000"});
}

/// Encodes \a in into \a out with the row's \a command. Returns false when the encoder is not
/// installed (the caller skips the row); a failing encoder fails the test.
inline bool encode(QStringList command, const QString& in, const QString& out)
{
    const QString program = command.takeFirst();
    if (QStandardPaths::findExecutable(program).isEmpty())
        return false;
    command.replaceInStrings(QStringLiteral("{in}"), in);
    command.replaceInStrings(QStringLiteral("{out}"), out);
    if (QProcess::execute(program, command) != 0)
        qFatal("%s could not write %s", qPrintable(program), qPrintable(out));
    return true;
}

} // namespace EncodedTones
