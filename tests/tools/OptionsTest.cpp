#include <gtest/gtest.h>

#include <vector>

#include "Options.h"

namespace keltrove::device {
namespace {

using namespace std::chrono_literals;

CommandLine Parse(std::vector<std::string_view> args) {
    return ParseCommandLine(args);
}

TEST(DeviceCommandLine, TakesValuesInEitherForm) {
    const CommandLine line =
        Parse({"--as", "COM3", "--table=t.txt", "--baud", "19200", "--reply-gap=15", "--split",
               "--noise", "--hangup-after", "40", "--seed", "7", "--silent"});
    ASSERT_EQ(line.kind, CommandLine::Kind::Run) << line.error;
    const DeviceOptions& options = line.options;
    EXPECT_EQ(options.portName, "COM3");
    EXPECT_EQ(options.tableFile, "t.txt");
    EXPECT_EQ(options.seed, 7u);
    EXPECT_EQ(options.session.shape.baud, 19200u);
    EXPECT_EQ(options.session.shape.replyGap, 15ms);
    EXPECT_EQ(options.session.shape.mode, AnswerMode::Split);
    EXPECT_TRUE(options.session.shape.noise);
    EXPECT_TRUE(options.session.silent);
    EXPECT_EQ(options.session.hangupAfter, 40u);
    EXPECT_EQ(Parse({"--burst", "--help"}).kind, CommandLine::Kind::Help);
}

TEST(DeviceCommandLine, RefusesWhatItCannotDoWithAClearReason) {
    const std::pair<std::vector<std::string_view>, std::string_view> cases[] = {
        {{"--loud"}, "unknown option '--loud'"},
        {{"COM1"}, "unexpected argument 'COM1'"},
        {{"--as"}, "--as needs a value"},
        {{"--as", "COM9"}, "COM1 to COM8"},
        {{"--as", "COM01"}, "COM1 to COM8"},
        {{"--as", "ttyS0"}, "COM1 to COM8"},
        {{"--baud", "96OO"}, "--baud takes a whole number"},
        {{"--baud", "0"}, "--baud takes a whole number from 50"},
        {{"--reply-gap", "-5"}, "--reply-gap takes a whole number"},
        {{"--hangup-after=0"}, "--hangup-after takes a whole number from 1"},
        {{"--hangup-after", "99999999999"}, "--hangup-after takes"},
        {{"--silent=yes"}, "--silent takes no value"},
        {{"--burst", "--split"}, "cannot be used together"},
        {{"--burst", "--reply-gap", "10"}, "cannot have --reply-gap"},
    };
    for (const auto& [args, says] : cases) {
        const CommandLine line = Parse(args);
        EXPECT_EQ(line.kind, CommandLine::Kind::Error) << args.front();
        EXPECT_NE(line.error.find(says), std::string::npos) << line.error;
    }
}

}  // namespace
}  // namespace keltrove::device
