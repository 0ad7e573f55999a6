// SPDX-License-Identifier: MIT
// The edit journal: a session ended without a word (as by kill -9) comes back
// at the next start exactly as it was, with its history, when the journal and
// the file agree, and never otherwise.
#include "app/Journal.h"
#include "support/EditorFixture.h"

#include <QDateTime>

#include <filesystem>
#include <random>

using namespace q2;
using namespace q2::test;
namespace fs = std::filesystem;

namespace {

constexpr int kMap = 2;
const QKeySequence kUndo(Qt::CTRL | Qt::Key_Z), kRedo(Qt::CTRL | Qt::Key_Y);

class JournalTest : public EditorTest {
protected:
    // Starts the editor on romPath, the first box after the dialog answered with answer.
    void Restart(std::optional<MsgResult> answer) {
        program.reset();
        script.AnswerOpenFile(romPath);
        if (answer) script.AnswerMessage(*answer);
        program = std::make_unique<modMain>();
        ASSERT_TRUE(program->Main());
    }
    // Stamps, undos and redos at random on map kMap; states[i] is the grid at
    // step i of the history at the end.
    std::vector<MapGrid> RandomSession(unsigned seed) {
        std::mt19937 random(seed);
        ClickLoadMap(kMap);
        std::vector<MapGrid> states{program->Grid};
        for (int i = 0; i < 24; ++i) {
            const unsigned what = random() % 6;
            if (what == 0) Key(kUndo);
            else if (what == 1) Key(kRedo);
            else {
                PickTile(int(random() % 16), int(random() % 16));
                Click(Form().pbxMap, Qt::LeftButton, Cell(int(random() % 32), int(random() % 20)));
            }
            states.resize(size_t(program->History.Count()) + 1);
            states[size_t(program->History.Index())] = program->Grid;
        }
        states.resize(size_t(program->History.Index()) + 1);
        return states;
    }
    std::string JournalPath() const { return JournalPathFor(romPath); }
};

// Replay equals the session; a map the file no longer holds as the journal
// began, or a journal cut short, damaged or of another kind, replays nothing,
// says so naming the journal, and keeps it.
TEST_F(JournalTest, ASessionComesBackOnlyWhenTheJournalAndTheFileAgree) {
    enum Outcome { Restored, Stale, Refused };
    const auto spoilJournal = [](std::function<void(RomImage&)> change) {
        return [change](const std::string& journal, RomImage&) {
            RomImage bytes = ReadFile(journal);
            change(bytes);
            WriteFile(journal, bytes);
        };
    };
    const struct {
        const char* name;
        std::function<void(const std::string& journal, RomImage& file)> spoil;
        Outcome outcome;
    } cases[] = {
        {"as written", [](const std::string&, RomImage&) {}, Restored},
        {"the map written by another program",
         [&](const std::string&, RomImage& file) {
             file[size_t(program->Catalogue.entries[kMap].MapOffset) + 40] ^= 0x11;
         },
         Stale},
        {"cut short", spoilJournal([](RomImage& b) { b.resize(b.size() - 3); }), Refused},
        {"damaged", spoilJournal([](RomImage& b) { b[b.size() / 2] ^= 0x04; }), Refused},
        {"of another kind", spoilJournal([](RomImage& b) { std::fill(b.begin(), b.begin() + 8, 0x89); }), Refused},
    };
    unsigned seed = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(romPath, rom);
        Restart(std::nullopt);
        const std::vector<MapGrid> states = RandomSession(seed++);
        ASSERT_GT(states.size(), 2u);
        ASSERT_TRUE(fs::exists(JournalPath()));
        RomImage file = rom;
        c.spoil(JournalPath(), file);
        WriteFile(romPath, file);
        const RomImage journal = ReadFile(JournalPath());

        Restart(c.outcome == Restored ? MsgResult::Yes : MsgResult::OK);
        const std::string said = script.Messages().back();
        if (c.outcome == Restored) {
            int cells = 0;
            for (int y = 0; y < states[0].Rows(); ++y)
                for (int x = 0; x < states[0].Columns(); ++x)
                    cells += states[0](x, y, 0) != states.back()(x, y, 0) || states[0](x, y, 1) != states.back()(x, y, 1);
            std::string why;
            const std::optional<Journal> read = ParseJournal(journal, why);
            ASSERT_TRUE(read) << why;
            const std::string when =
                QDateTime::fromSecsSinceEpoch(read->header.time).toString("yyyy-MM-dd HH:mm:ss").toStdString();
            EXPECT_EQ(said, msg::RestoreQuestion(program->Catalogue.names[kMap], when, cells));
            EXPECT_EQ(program->CurrentMap, kMap);
            for (size_t i = states.size() - 1; i > 0; --i) {
                EXPECT_EQ(program->Grid, states[i]) << "step " << i;
                EXPECT_EQ(MapFrame(), "Map (modified)");
                Key(kUndo);
            }
            EXPECT_EQ(program->Grid, states[0]);
            EXPECT_EQ(MapFrame(), "Map");
            EXPECT_FALSE(fs::exists(JournalPath()));  // clean again: nothing to keep
        } else {
            EXPECT_NE(said.find(JournalPath()), said.npos) << said;
            EXPECT_EQ(program->CurrentMap, 0);
            EXPECT_EQ(MapFrame(), "Map");
            EXPECT_EQ(ReadFile(JournalPath()), journal);
            fs::remove(JournalPath());
        }
    }
}

// No moves the journal aside and is not asked again; a save removes it.
TEST_F(JournalTest, NoSetsTheJournalAsideAndASaveRemovesIt) {
    Start(romPath);
    StampOneTile();
    Restart(MsgResult::No);
    EXPECT_FALSE(fs::exists(JournalPath()));
    EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(JournalPath()).parent_path() / "discarded"),
                            fs::directory_iterator{}),
              1);
    Restart(std::nullopt);  // no question: the script holds no answer
    StampOneTile();
    ASSERT_TRUE(fs::exists(JournalPath()));
    Form().cmdSaveMap->click();
    EXPECT_FALSE(fs::exists(JournalPath()));
}

} // namespace
