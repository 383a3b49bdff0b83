// SPDX-License-Identifier: MIT
// The fuzz target's round-trip property, checked in every ordinary test run:
// over each committed seed and over a few thousand deterministic mutations of
// them, so a regression shows up without clang or a fuzzing session.

#include "StoreRoundTrip.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

const QString SeedDirectory = QStringLiteral(NOPI_FUZZ_SEEDS);
constexpr int MutationCount = 2000;
constexpr int MaxLength = 8192;

// Pieces of the file's own syntax: random bytes alone rarely make a header or
// a key, so mutations splice these in.
const std::vector<std::string> Tokens = {
    "[FORM1]", "[FORM3]", "[FORM17]", "[form9]", "[", "]", "=", "\r\n", "\r", "\n", std::string(1, '\0'),
    " ", "\t", "SIYOU=", "B_Color=", "POJIX=", "POJIY=", "YOKO=", "TATE=", "ALARM=", "A_TIME=",
    "NAIYOU=", "FName=", "FSize=", "FBold=", "FItalic=", "True", "-2147483648", "99999999999",
    "\x81\xcc", "\x81\x45", "\x82\xa0", "\x81", "\xfc", "\x87\x40", "\xed\x40", "\xfa\x5c", "\xf0\x40",
    "\\", "~",
};

struct Seed
{
    QString name;
    std::string bytes;
};

std::vector<Seed> readSeeds()
{
    std::vector<Seed> seeds;
    const QDir dir(SeedDirectory);
    for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
        QFile file(dir.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            seeds.push_back({name, file.readAll().toStdString()});
    }
    return seeds;
}

class Mutator
{
public:
    explicit Mutator(const std::vector<Seed> &seeds) : m_seeds(seeds), m_random(20251207) { }

    std::string next()
    {
        std::string bytes = m_seeds[pick(m_seeds.size())].bytes;
        const int steps = 1 + int(pick(6));
        for (int i = 0; i < steps; ++i)
            mutate(bytes);
        if (bytes.size() > size_t(MaxLength))
            bytes.resize(size_t(MaxLength));
        return bytes;
    }

private:
    size_t pick(size_t bound) { return bound == 0 ? 0 : size_t(m_random.bounded(quint64(bound))); }

    void mutate(std::string &bytes)
    {
        const size_t at = pick(bytes.size() + 1);
        switch (pick(8)) {
        case 0: // flip a bit
            if (!bytes.empty())
                bytes[pick(bytes.size())] ^= char(1 << pick(8));
            break;
        case 1: // any byte
            if (!bytes.empty())
                bytes[pick(bytes.size())] = char(pick(256));
            break;
        case 2: // a token of the syntax
            bytes.insert(at, Tokens[pick(Tokens.size())]);
            break;
        case 3: // cut a piece out
            bytes.erase(at, 1 + pick(24));
            break;
        case 4: { // repeat a piece elsewhere: duplicate lines, keys, sections
            if (bytes.empty())
                break;
            const size_t from = pick(bytes.size());
            const std::string piece = bytes.substr(from, 1 + pick(80));
            bytes.insert(pick(bytes.size() + 1), piece);
            break;
        }
        case 5: { // splice in a piece of another seed
            const std::string &other = m_seeds[pick(m_seeds.size())].bytes;
            if (!other.empty())
                bytes.insert(at, other.substr(pick(other.size()), 1 + pick(200)));
            break;
        }
        case 6: { // another line end for one of them
            static const char *const Ends[] = {"\r\n", "\n", "\r", "\n\r", "\r\r\n", ""};
            const size_t line = bytes.find_first_of("\r\n", at);
            if (line == std::string::npos)
                break;
            const size_t length = bytes.compare(line, 2, "\r\n") == 0 ? 2 : 1;
            bytes.replace(line, length, Ends[pick(std::size(Ends))]);
            break;
        }
        default: // a few random bytes
            for (size_t n = 1 + pick(8); n > 0; --n)
                bytes.insert(bytes.begin() + std::ptrdiff_t(at), char(pick(256)));
            break;
        }
    }

    const std::vector<Seed> &m_seeds;
    QRandomGenerator m_random;
};

// The input that broke the property, kept where a developer can pick it up
// and add it to the seeds.
QString keepFailingInput(const std::string &bytes, int index)
{
    const QString path = QDir::temp().filePath(QStringLiteral("nopi-replay-failure-%1.ini").arg(index));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes.data(), qint64(bytes.size()));
    return path;
}

}

class TestFuzzReplay : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void shouldHoldForEverySeed_data();
    void shouldHoldForEverySeed();
    void shouldHoldForMutationsOfTheSeeds();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestFuzzReplay::init()
{
    m_dir = std::make_unique<QTemporaryDir>(StoreRoundTrip::scratchBase() + QStringLiteral("/nopi-replay-XXXXXX"));
    QVERIFY(m_dir->isValid());
}

void TestFuzzReplay::shouldHoldForEverySeed_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const std::vector<Seed> seeds = readSeeds();
    // Without seeds the whole test would pass on nothing.
    QVERIFY2(seeds.size() >= 5, qPrintable(QStringLiteral("too few seeds in %1").arg(SeedDirectory)));
    for (const Seed &seed : seeds)
        QTest::newRow(qPrintable(seed.name)) << QByteArray::fromStdString(seed.bytes);
}

void TestFuzzReplay::shouldHoldForEverySeed()
{
    QFETCH(QByteArray, bytes);
    const QString failure = StoreRoundTrip::check(std::string_view(bytes.constData(), size_t(bytes.size())),
                                                  m_dir->filePath(QStringLiteral("nopi.ini")));
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
}

void TestFuzzReplay::shouldHoldForMutationsOfTheSeeds()
{
    const std::vector<Seed> seeds = readSeeds();
    QVERIFY(!seeds.empty());
    Mutator mutator(seeds);
    const QString path = m_dir->filePath(QStringLiteral("nopi.ini"));
    for (int i = 0; i < MutationCount; ++i) {
        const std::string bytes = mutator.next();
        const QString failure = StoreRoundTrip::check(bytes, path);
        if (!failure.isEmpty()) {
            QFAIL(qPrintable(QStringLiteral("mutation %1 (kept as %2):\n%3")
                                     .arg(i)
                                     .arg(keepFailingInput(bytes, i), failure)));
        }
    }
}

QTEST_GUILESS_MAIN(TestFuzzReplay)
#include "tst_fuzz_replay.moc"
