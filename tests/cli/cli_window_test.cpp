// tarnwick-cli against the window: for the same fleet, the rows the CLI
// prints are the rows the main dialog shows once its run has ended. And
// both programs answer --help and --version without a display.
#include <gtest/gtest.h>

#include <algorithm>

#include "res/list_columns.h"
#include "res/version.h"
#include "tests/app/fleet_dialog_fixture.h"
#include "tests/cli/cli_settings.h"
#include "tests/cli/program_run.h"
#include "tests/listing/format_readers.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

class CliWindowTest : public testing_support::FleetDialogTest {
protected:
    Rows WindowRows() {
        Rows rows;
        for (int row = 0; row < dialog_->deviceList->GetItemCount(); ++row) {
            std::vector<std::string> texts;
            for (int column = 0; column < kDeviceListColumnCount; ++column) texts.push_back(Text(row, column));
            rows.push_back(texts);
        }
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    // Every row has its Model text: camera names arrive after the run.
    bool AllNamed() {
        const Rows rows = WindowRows();
        return !rows.empty() && std::all_of(rows.begin(), rows.end(), [](const auto& r) { return !r[1].empty(); });
    }
};

TEST_F(CliWindowTest, CliRowsAreTheWindowsRows) {
    StartFleet();
    OpenOnFleet();
    for (int id : {IDC_TYPE_DVR, IDC_TYPE_IPC, IDC_TYPE_DEC}) Click(id);
    ASSERT_TRUE(RunDiscovery());
    ASSERT_TRUE(WaitFor([&] { return AllNamed(); }));
    const Rows window = WindowRows();
    ASSERT_EQ(window.size(), 11u);

    // The CLI runs in the dialog's directory, with its Config.xml.
    const std::string settings =
        cli_testing::WriteLoopbackSettings("sdk.conf", server_->discoveryPort(), "tarnwick");
    for (const char* format : {"csv", "json"}) {
        SCOPED_TRACE(format);
        const cli_testing::ProgramRun run = cli_testing::RunProgram(
            TARNWICK_CLI, {"discover", "--format", format}, {{"TARNWICK_NETSDK_SETTINGS", settings}});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        Rows cli;
        if (std::string(format) == "csv") {
            ASSERT_TRUE(format_readers::ReadCsv(run.out, cli));
            ASSERT_FALSE(cli.empty());
            cli.erase(cli.begin());
        } else {
            std::vector<format_readers::Object> objects;
            ASSERT_TRUE(format_readers::ReadJson(run.out, objects));
            for (const auto& object : objects) {
                std::vector<std::string> row;
                for (std::size_t c = 0; c < object.size(); ++c) {
                    EXPECT_EQ(object[c].first, kDeviceListColumns[c].heading);
                    row.push_back(object[c].second);
                }
                cli.push_back(row);
            }
        }
        std::sort(cli.begin(), cli.end());
        EXPECT_EQ(cli, window);
    }
}

// Without a display: no DISPLAY, no WAYLAND_DISPLAY, and a platform plugin
// that would need one.
TEST(InfoOptions, BothProgramsAnswerWithoutADisplay) {
    const std::map<std::string, std::string> noDisplay = {
        {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", "xcb"}};
    const struct {
        const char* program;
        const char* name;
    } programs[] = {{TARNWICK_APP, "tarnwick"}, {TARNWICK_CLI, "tarnwick-cli"}};
    for (const auto& p : programs) {
        SCOPED_TRACE(p.name);
        const cli_testing::ProgramRun version = cli_testing::RunProgram(p.program, {"--version"}, noDisplay);
        EXPECT_EQ(version.exitCode, 0);
        EXPECT_EQ(version.out, std::string(p.name) + " " + kTarnwickVersion + "\n");
        EXPECT_EQ(version.err, "");
        const cli_testing::ProgramRun help = cli_testing::RunProgram(p.program, {"--help"}, noDisplay);
        EXPECT_EQ(help.exitCode, 0);
        EXPECT_EQ(help.out.rfind(std::string("Usage: ") + p.name + " ", 0), 0u) << help.out;
        EXPECT_EQ(help.err, "");
    }
}

}  // namespace
