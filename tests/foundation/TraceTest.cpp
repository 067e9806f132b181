#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "foundation/Trace.h"
#include "platform/Clock.h"
#include "support/TempFolder.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// An open log's file as a reader finds it: its lines, then room not written yet.
std::string LiveText(const std::string& path) {
    std::string text = ReadFile(path);
    text.resize(std::min(text.size(), text.find('\0')));
    return text;
}

bool Exists(const std::string& path) {
    return access(path.c_str(), F_OK) == 0;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream s(text);
    for (std::string line; std::getline(s, line);) lines.push_back(line);
    return lines;
}

class TraceTest : public ::testing::Test {
protected:
    TraceTest() {
        platform::SetLocalTimeSource([] {
            platform::LocalTime t;
            t.year = 2026, t.month = 3, t.day = 4, t.hour = 5, t.minute = 6, t.second = 7;
            return t;
        });
    }
    ~TraceTest() override { platform::SetLocalTimeSource({}); }

    std::string TracePath() const { return folder.Path() + "Kivora_Trace.txt"; }
    std::string ErrorPath() const { return folder.Path() + "Kivora_Trace.err"; }

    platform::ManualCounter counter{1000};
    TempFolder folder;
    ScopedRegistry registry;
};

}  // namespace

TEST_F(TraceTest, LinesCarryDateOnceTimeAndSecondsFromTheCounter) {
    {
        Trace trace(folder.Path().c_str(), "CompID : Test v.1");
        counter.Advance(250);
        trace.Write("second");
        trace.AppendNote("[a]");
        counter.Advance(1500);
        trace.WriteFormat("third %d", 3);
        trace.SetKeepForUpload(true);
    }
    const auto lines = Lines(ReadFile(TracePath()));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "03/04/26 05:06:07 CompID : Test v.1 0.0000 ");
    EXPECT_EQ(lines[1], " 05:06:07 second 0.2500 ");
    EXPECT_EQ(lines[2], " 05:06:07 third 3 1.5000 [a]");
    EXPECT_EQ(lines[3], " 05:06:07 Trace Destructed 0.0000 [a]");
    EXPECT_EQ(lines[4], " 05:06:07 class Trace * 0.0000 [a]");
}

TEST_F(TraceTest, DefaultHeaderNamesTheComponent) {
    { Trace trace(folder.Path().c_str()); }
    EXPECT_NE(ReadFile(TracePath()).find(" 05:06:07 CompID : Duzazododiza v.1,1,0,48 "),
              std::string::npos);
}

TEST_F(TraceTest, NoteGrowsOnlyWhileItStaysBelowTheBufferSize) {
    Trace trace(folder.Path().c_str(), "h");
    trace.AppendNote(std::string(500, 'n').c_str());
    trace.AppendNote(std::string(12, 'x').c_str());  // would make 512: refused
    trace.AppendNote(std::string(11, 'y').c_str());  // makes 511: taken
    trace.Write("line");
    trace.SetKeepForUpload(true);
    trace.Close();
    const auto lines = Lines(ReadFile(TracePath()));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1], " 05:06:07 line 0.0000 " + std::string(500, 'n') + std::string(11, 'y'));
}

TEST_F(TraceTest, CleanCloseMarksTheLogAndTheNextRunDropsIt) {
    {
        Trace first(folder.Path().c_str(), "h");
        first.Write("work");
    }
    const std::string closed = ReadFile(TracePath());
    ASSERT_GE(closed.size(), 8u);
    EXPECT_EQ(closed.substr(0, 8), std::string("NO_POST\0", 8));
    EXPECT_NE(closed.find("Trace Destructed"), std::string::npos);

    { Trace second(folder.Path().c_str(), "h"); }
    EXPECT_FALSE(Exists(ErrorPath()));

    // The marker counts in any letter case.
    std::ofstream(TracePath(), std::ios::binary) << std::string("no_Post\0rest", 12);
    { Trace third(folder.Path().c_str(), "h"); }
    EXPECT_FALSE(Exists(ErrorPath()));
}

TEST_F(TraceTest, LogKeptForUploadOrCutOffBecomesTheErrorLog) {
    {
        Trace run(folder.Path().c_str(), "h");
        run.SetKeepForUpload(true);
        run.Write("control run");
    }
    { Trace next(folder.Path().c_str(), "h"); }
    ASSERT_TRUE(Exists(ErrorPath()));
    EXPECT_NE(ReadFile(ErrorPath()).find("control run"), std::string::npos);

    // A run that dies without closing its log: the registry still says open, the
    // log ends in the byte that MarkFile leaves, and it replaces the older error log.
    const pid_t pid = fork();
    if (pid == 0) {
        auto* crashed = new Trace(folder.Path().c_str(), "h");
        Trace::SetOpenMark(true);
        crashed->Write("before the crash");
        crashed->MarkFile();
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(Trace::WasLeftOpen());
    const std::string cut = LiveText(TracePath());
    ASSERT_FALSE(cut.empty());
    EXPECT_EQ(cut.back(), 'a');

    // Kept as the error log, it ends where the run stopped, without the unwritten room.
    Trace after(folder.Path().c_str(), "h");
    EXPECT_EQ(ReadFile(ErrorPath()), cut);
    ASSERT_TRUE(Trace::SetOpenMark(false));
    EXPECT_FALSE(Trace::WasLeftOpen());
}

TEST_F(TraceTest, ASecondLogInTheSameFolderLeavesTheFirstWhole) {
    // An installer's log opened while the process's own log is open: the first log's
    // file becomes the error log under its feet and must stay whole and writable.
    Trace first(folder.Path().c_str(), "first");
    first.Write("before");
    {
        Trace second(folder.Path().c_str(), "second");
        first.Write("after the move");
        second.Write("own line");
    }
    EXPECT_NE(ReadFile(TracePath()).find(" own line "), std::string::npos);
    first.Write("last");
    first.SetKeepForUpload(true);
    first.Close();
    const std::string kept = ReadFile(ErrorPath());
    EXPECT_EQ(kept.find('\0'), std::string::npos);
    const auto lines = Lines(kept);
    ASSERT_EQ(lines.size(), 6u) << kept;
    EXPECT_NE(lines[1].find(" before "), std::string::npos);
    EXPECT_NE(lines[2].find(" after the move "), std::string::npos);
    EXPECT_NE(lines[3].find(" last "), std::string::npos);
    EXPECT_NE(lines[5].find(" class Trace * "), std::string::npos);
}

TEST_F(TraceTest, MarkFileByteIsOverwrittenByTheNextLine) {
    Trace trace(folder.Path().c_str(), "h");
    const size_t end = LiveText(TracePath()).size();
    EXPECT_EQ(trace.Length(), static_cast<long>(end));
    trace.MarkFile();
    EXPECT_EQ(LiveText(TracePath()), LiveText(TracePath()).substr(0, end) + "a");
    trace.Write("next");
    const auto lines = Lines(LiveText(TracePath()));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], " 05:06:07 next 0.0000 ");
}

TEST_F(TraceTest, LogAtItsSizeLimitMovesToThePreviousLogAndStartsAgain) {
    const std::string previous = folder.Path() + "Kivora_Trace.old";
    std::ofstream(previous) << "an older run's previous log";
    const std::string payload(60, 'p');
    {
        Trace trace(folder.Path().c_str(), "h");
        EXPECT_EQ(std::string(trace.PreviousPath()), previous);
        trace.SetSizeLimit(4096);
        for (int i = 0; i < 300; ++i) trace.WriteFormat("line %03d %s", i, payload.c_str());
        trace.SetKeepForUpload(true);
    }
    // Two files at most, each about the limit: the current log and the one before.
    const std::string current = ReadFile(TracePath());
    const std::string before = ReadFile(previous);
    EXPECT_LT(current.size(), 4096u + 200u);
    EXPECT_GE(before.size(), 4096u);
    EXPECT_LT(before.size(), 4096u + 200u);
    EXPECT_FALSE(Exists(ErrorPath()));

    // The new log begins dated and says where the earlier lines went; no line is cut.
    const auto lines = Lines(current);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "03/04/26 05:06:07 Earlier lines: " + previous + " 0.0000 ");
    EXPECT_NE(lines[lines.size() - 3].find("line 299 " + payload), std::string::npos);
    const auto earlier = Lines(before);
    EXPECT_NE(earlier.back().find(payload), std::string::npos);
    int last = -1;
    std::sscanf(earlier.back().c_str(), " %*2d:%*2d:%*2d line %d", &last);
    EXPECT_NE(current.find("line " + std::to_string(last + 1) + " "), std::string::npos);
}

TEST_F(TraceTest, QuietStepsAndRepeatedMarksAddNothing) {
    Trace trace(folder.Path().c_str(), "h");
    trace.WriteStep("step taken for a pick");
    std::thread other;
    {
        Trace::QuietSteps quiet;
        trace.WriteStep("step of a frame");
        trace.Write("a frame's error");
        // The scope is the thread's own.
        other = std::thread([&trace] { trace.WriteStep("another thread's step"); });
        other.join();
    }
    trace.MarkFile();
    const std::string marked = LiveText(TracePath());
    struct stat first {};
    ASSERT_EQ(stat(TracePath().c_str(), &first), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    for (int i = 0; i < 3; ++i) trace.MarkFile();
    struct stat again {};
    ASSERT_EQ(stat(TracePath().c_str(), &again), 0);
    EXPECT_EQ(again.st_mtim.tv_nsec, first.st_mtim.tv_nsec) << "the byte is already there";
    EXPECT_EQ(again.st_mtim.tv_sec, first.st_mtim.tv_sec);
    EXPECT_EQ(LiveText(TracePath()), marked);

    const std::string text = LiveText(TracePath());
    EXPECT_NE(text.find(" step taken for a pick "), std::string::npos);
    EXPECT_EQ(text.find("step of a frame"), std::string::npos);
    EXPECT_NE(text.find(" a frame's error "), std::string::npos);
    EXPECT_NE(text.find(" another thread's step "), std::string::npos);
}

TEST_F(TraceTest, LogThatCannotBeCreatedWritesNothing) {
    const std::string missing = folder.Path() + "no/such/folder";
    const std::string tooLong = folder.Path() + std::string(600, 'd');
    for (const std::string& dir : {missing, tooLong}) {
        Trace trace(dir.c_str(), "h");
        EXPECT_FALSE(trace.IsOpen()) << dir;
        trace.Write("x");
        trace.WriteFormat("%s", "y");
        trace.MarkFile();
        trace.AppendNote("n");
        trace.Close();
    }
    EXPECT_FALSE(Exists(missing));
}

TEST_F(TraceTest, FailedChecksReachTheLogSetForTraceWrite) {
    Trace* const processLog = GetTraceWriteLog();
    {
        Trace trace(folder.Path().c_str(), "h");
        SetTraceWriteLog(&trace);
        EXPECT_TRUE(PRECONDITION(true, "not logged"));
        EXPECT_FALSE(POSTCONDITION(false, "the message"));
        trace.SetKeepForUpload(true);
    }
    TraceWrite("the log is gone: goes nowhere");
    SetTraceWriteLog(processLog);
    const auto lines = Lines(ReadFile(TracePath()));
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[1], " 05:06:07 Postcondition Failed 0.0000 ");
    EXPECT_NE(lines[2].find("TraceTest.cpp"), std::string::npos);
    EXPECT_EQ(lines[3].rfind(" 05:06:07 ", 0), 0u);
    EXPECT_NE(lines[3].find("  ---  failure line 0.0000 "), std::string::npos);
    EXPECT_EQ(lines[4], " 05:06:07 the message 0.0000 ");

    // A file of its own takes precedence, in the plainer format.
    FILE* own = std::tmpfile();
    ASSERT_NE(own, nullptr);
    SetTraceWriteFile(own);
    TraceWrite("plain");
    SetTraceWriteFile(nullptr);
    std::rewind(own);
    char text[64] = {};
    std::fread(text, 1, sizeof text - 1, own);
    std::fclose(own);
    EXPECT_STREQ(text, "03/04/26 05:06:07 plain\n");
}

TEST_F(TraceTest, LinesFromManyThreadsStayWhole) {
    // Enough lines for the file to grow several times while the threads write.
    constexpr int kThreads = 4;
    constexpr int kLines = 4000;
    {
        Trace trace(folder.Path().c_str(), "h");
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&trace, t] {
                const std::string payload(40 + t * 20, static_cast<char>('a' + t));
                for (int i = 0; i < kLines; ++i)
                    trace.WriteFormat("t%d %d %s", t, i, payload.c_str());
            });
        for (auto& th : threads) th.join();
        trace.SetKeepForUpload(true);
    }
    const std::string closed = ReadFile(TracePath());
    EXPECT_GT(closed.size(), 1u << 20);
    EXPECT_EQ(closed.find('\0'), std::string::npos) << "the closed log ends with its last line";
    EXPECT_EQ(closed.back(), '\n');
    std::set<std::pair<int, int>> seen;
    for (const auto& l : Lines(closed)) {
        int t = -1, i = -1;
        char payload[256] = {};
        if (std::sscanf(l.c_str(), " %*2d:%*2d:%*2d t%d %d %255s ", &t, &i, payload) != 3) continue;
        ASSERT_TRUE(t >= 0 && t < kThreads) << l;
        EXPECT_EQ(payload, std::string(40 + t * 20, static_cast<char>('a' + t))) << l;
        seen.insert({t, i});
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(kThreads * kLines));
}

TEST_F(TraceTest, ProcessLogLivesInTheTemporaryFolderAndClosesAtExit) {
    // The process's log is made once per process, so a fresh process shows it: this
    // program runs again for this test alone, with the folder to use in the variable.
    constexpr const char* kChild = "KIVORA_TRACE_TEST_FOLDER";
    if (const char* childFolder = std::getenv(kChild)) {
        setenv("TMPDIR", childFolder, 1);
        theTrace().Write("first");
        POSTCONDITION(false, "checked in the process log");
        std::exit(0);  // runs the exit-time close
    }
    const pid_t pid = fork();
    if (pid == 0) {
        setenv(kChild, folder.Path().c_str(), 1);
        const std::string filter =
            "--gtest_filter=TraceTest.ProcessLogLivesInTheTemporaryFolderAndClosesAtExit";
        execl("/proc/self/exe", "/proc/self/exe", filter.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::string text = ReadFile(TracePath());
    ASSERT_GE(text.size(), 8u);
    EXPECT_EQ(text.substr(0, 8), std::string("NO_POST\0", 8));
    EXPECT_NE(text.find(" first "), std::string::npos);
    EXPECT_NE(text.find(" checked in the process log "), std::string::npos);
    EXPECT_NE(text.find(" class Trace * "), std::string::npos);
}
