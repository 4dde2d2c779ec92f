// The Spectrum Test window: its settings refused in korvex-cli's words, the
// drive it saves held to korvex-cli synthesize's bytes, and a record checked
// against the target as the drive's own spectrum was.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "ui/drive/drive_window.h"
#include "ui/drive/synthesis_form.h"

namespace korvex {
namespace {

std::string bytesOf(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(SpectrumTestWindow, SavesCliBytesAndChecksARecordAsItsDrive) {
    const auto dir = std::filesystem::temp_directory_path() / "korvex_spectrum_test";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    SpectrumTest test;
    const auto set = [&](const char* name, const char* text) {
        test.findChild<QLineEdit*>(name)->setText(text);
    };
    const QStringList settings = {"--target",      "100:10,1000:100",
                                  "--sample-rate", "10000",
                                  "--duration",    "0.2",
                                  "--seed",        "3",
                                  "--per-octave",  "6",
                                  "--tolerance",   "1.5,2"};
    set("spectrumTarget", "100:10,1000:100");
    set("driveSampleRate", "10000");
    set("driveDuration", "0.2");
    set("driveSeed", "3");
    set("spectrumTolerance", "1.5,2");
    const auto cli = [&](QStringList args, QString* err = nullptr) {
        QProcess p;
        p.start(KORVEX_CLI, QStringList{"synthesize"} + settings + args);
        EXPECT_TRUE(p.waitForFinished(60000));
        if (err != nullptr) *err = QString::fromUtf8(p.readAllStandardError());
        return p.exitCode();
    };

    // A count korvex-cli refuses is refused in the same words, and nothing starts.
    struct Refused {
        const char* edit;
        const char* text;
        const char* option;
    };
    for (const Refused& r : {Refused{"spectrumTestPerOctave", "0", "--per-octave"},
                             Refused{"driveSeed", "1.5", "--seed"}}) {
        const QString old = test.findChild<QLineEdit*>(r.edit)->text();
        set(r.edit, r.text);
        EXPECT_FALSE(test.synthesize());
        QString err;
        EXPECT_EQ(cli({r.option, r.text, "--output", "-"}, &err), 2);
        QString problem;
        test.form()->read(problem);
        const QString words = problem.mid(problem.indexOf(": ") + 2);
        EXPECT_TRUE(err.startsWith(QString("korvex-cli: %1: %2\n").arg(r.option, words)))
            << err.toStdString() << " / " << problem.toStdString();
        set(r.edit, old.toUtf8().constData());
    }
    set("spectrumTestPerOctave", "6");

    QSignalSpy done(&test, &SpectrumTest::finished);
    ASSERT_TRUE(test.synthesize());
    ASSERT_TRUE(done.wait(60000));
    ASSERT_TRUE(test.hasDrive()) << test.statusText().toStdString();
    const QString status = test.statusText();

    // Both formats, over an older file, byte for byte as korvex-cli writes them.
    for (const auto& [format, name] : {std::pair{DriveFormat::TimeHistory, "time-history"},
                                       std::pair{DriveFormat::Csv, "csv"}}) {
        const auto mine = dir / (std::string("drive-") + name);
        const auto theirs = dir / (std::string("cli-") + name);
        std::ofstream(mine) << "an older, longer file than nothing at all";
        EXPECT_EQ(test.saveDrive(QString::fromStdString(mine.string()), format), QString());
        cli({"--format", name, "--output", QString::fromStdString(theirs.string())});
        const std::string expected = bytesOf(theirs);
        ASSERT_FALSE(expected.empty()) << name;
        EXPECT_TRUE(bytesOf(mine) == expected) << name;
    }

    // The drive read back as a record meets the target as the drive did.
    ASSERT_TRUE(test.checkRecord(QString::fromStdString((dir / "drive-csv").string())));
    ASSERT_TRUE(done.wait(60000));
    const QString verdict = test.verdictText();
    const qsizetype at = status.indexOf("worst margin");
    ASSERT_GE(at, 0) << status.toStdString();
    EXPECT_TRUE(verdict.startsWith("PASS: ")) << verdict.toStdString();
    EXPECT_TRUE(verdict.contains(status.mid(at, status.indexOf(')', at) - at)))
        << verdict.toStdString() << " / " << status.toStdString();

    // A record that cannot be read says why and keeps the drive.
    ASSERT_TRUE(test.checkRecord(QString::fromStdString((dir / "missing.csv").string())));
    ASSERT_TRUE(done.wait(60000));
    EXPECT_TRUE(test.hasDrive());
}

}  // namespace
}  // namespace korvex
