// The update check: the products and their request bodies, the reading of answers, the overall
// result, and whole checks against a real server on the loopback interface, cancelled ones included.
#include <gtest/gtest.h>

#include <chrono>

#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <vector>

#include "TestHttpServer.h"
#include "platform/WorkerSlots.h"
#include "support/Wait.h"
#include "update/AppVersion.h"
#include "update/LastCheckFile.h"
#include "update/UpdateCheck.h"

using namespace nk7x;
using namespace nk7x::test;

namespace {

const std::string kKeyboardKey = "TAVRO_1_QX20M31B_Norla Keys NK-7X_1";
const std::string kApplicationKey = "TAVRO_0_ALL_RT9_RT4_RT3_1";

// The product key a request body names.
std::string KeyOf(const std::string& body) {
    const size_t begin = body.find("app_key=");
    const size_t end = body.find("&version=");
    if (begin != 0 || end == std::string::npos)
        return {};
    return body.substr(8, end - 8);
}

// A server answering each product key with its own reply; unknown keys get {}.
TestHttpServer::Handler ByKey(std::map<std::string, std::string> bodies) {
    return [bodies](const TestHttpServer::Request& request) {
        const auto it = bodies.find(KeyOf(request.body));
        return TestHttpServer::Reply{TestHttpServer::Action::Answer,
                                     TestHttpServer::Answer(200, it == bodies.end() ? "{}" : it->second)};
    };
}

// A keyboard with firmware 0x0105 and the application at version 10.
std::vector<UpdateProduct> KeyboardAndApplication() {
    return BuildProductList({0x0105}, 10);
}

HttpResult Answered(const std::string& answer, long status = 200) {
    HttpResult r;
    r.bytes = static_cast<int>(answer.size());
    r.sent = true;
    r.status = status;
    return r;
}

} // namespace

TEST(UpdateProducts, DeviceEntriesPairWithRowsByPositionAndNeverReachTheApplicationRow) {
    auto list = BuildProductList({0x0105}, 10);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].row, 0u);
    EXPECT_EQ(list[0].installed, 0x0105u);
    EXPECT_TRUE(list[0].IsFirmware());
    EXPECT_EQ(list[1].row, kApplicationProductRow);
    EXPECT_FALSE(list[1].IsFirmware());

    // An entry without an open link (0) gives no row; the second entry pairs with row 1.
    list = BuildProductList({0, 0x0200}, 10);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].row, 1u);

    // More entries than firmware rows: the extra ones have no row, the application keeps its own.
    list = BuildProductList({1, 2, 3, 4, 5, 6}, 77);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[2].installed, 3u);
    EXPECT_EQ(list[3].installed, 77u);

    // No application version: the application is neither sent nor listed; nothing at all is empty.
    EXPECT_EQ(BuildProductList({0x0105}, 0).size(), 1u);
    EXPECT_TRUE(BuildProductList({}, 0).empty());
}

TEST(UpdateProducts, KeysBodiesAndVersionTexts) {
    const auto list = KeyboardAndApplication();
    EXPECT_EQ(ProductKey(list[0].info), kKeyboardKey);
    EXPECT_EQ(ProductKey(list[1].info), kApplicationKey);
    EXPECT_EQ(UpdateRequestBody(list[0]), "app_key=" + kKeyboardKey + "&version=105" + std::string(1, '\0'));
    EXPECT_EQ(InstalledVersionText(list[0]), "V0105");
    EXPECT_EQ(InstalledVersionText(list[1]), "V10");

    // Firmware versions go in lower-case hexadecimal without a prefix.
    EXPECT_EQ(UpdateRequestBody(BuildProductList({0x0ABC}, 0)[0]),
              "app_key=" + kKeyboardKey + "&version=abc" + std::string(1, '\0'));
    EXPECT_EQ(InstalledVersionText(BuildProductList({0x0ABC}, 0)[0]), "V0abc");

    // The application's version: dots removed, read as decimal, sent in decimal.
    EXPECT_EQ(DisplayVersionNumber("1.2.3"), 123u);
    EXPECT_EQ(DisplayVersionNumber("1.0.3"), 103u);
    EXPECT_EQ(DisplayVersionNumber("0.1.0"), 10u);
    EXPECT_EQ(DisplayVersionNumber(""), 0u);
    EXPECT_EQ(DisplayVersionNumber("beta"), 0u);
    EXPECT_EQ(DisplayVersionNumber("99999999999"), 0u);
    EXPECT_EQ(UpdateRequestBody(BuildProductList({}, 123)[0]),
              "app_key=" + kApplicationKey + "&version=123" + std::string(1, '\0'));
    EXPECT_EQ(ApplicationVersionNumber(), DisplayVersionNumber(ApplicationVersionText()));
    EXPECT_NE(ApplicationVersionNumber(), 0u);
}

TEST(UpdateAnswer, NewerLaterEqualAndBrokenVersions) {
    const auto list = KeyboardAndApplication();
    auto fw = [&](const std::string& answer) { return RecordFromAnswer(list[0], Answered(answer), answer); };
    auto app = [&](const std::string& answer) { return RecordFromAnswer(list[1], Answered(answer), answer); };

    const std::string newer =
        R"({"name":"NK-7X Keyboard","version":"0106","path":"http://h/fw.bin","device_id":3,"version_name":"x"})";
    UpdateRecord r = fw(newer);
    EXPECT_EQ(r.status, kUpdateStatusAvailable);
    EXPECT_EQ(r.installedText, "V0105");
    EXPECT_EQ(r.newestText, "V0106");
    EXPECT_EQ(r.name, "Norla Keys NK-7X") << "the table's display name, not the server's";
    EXPECT_EQ(r.downloadPath, "http://h/fw.bin");
    EXPECT_EQ(r.deviceId, 3);
    EXPECT_TRUE(r.reached);

    EXPECT_EQ(fw(R"({"name":"K","version":"0105"})").status, kUpdateStatusUpToDate); // equal
    EXPECT_EQ(fw(R"({"name":"K","version":"0104"})").status, kUpdateStatusUpToDate); // lower
    EXPECT_EQ(fw(R"({"name":"K","version":"10a"})").status, kUpdateStatusAvailable); // hexadecimal
    EXPECT_EQ(fw(R"({"name":"K","version":"new"})").status, kUpdateStatusUpToDate);  // not a number
    EXPECT_TRUE(fw(R"({"name":"K","version":"new"})").known);
    // Wrong types say nothing: neither newer nor up to date.
    for (const char* answer :
         {R"({"name":"K","version":[1]})", R"({"name":"K"})", R"({"name":5,"version":"0106"})",
          R"({"name":"K","version":null})", R"({"name":["K"],"version":"0200"})"}) {
        EXPECT_FALSE(fw(answer).known) << answer;
        EXPECT_EQ(fw(answer).status, kUpdateStatusUpToDate) << answer;
    }
    // Only a success status counts: a valid body under an error or a redirect says nothing.
    for (long status : {500L, 404L, 301L, 302L, 100L}) {
        const UpdateRecord other = RecordFromAnswer(list[0], Answered(newer, status), newer);
        EXPECT_FALSE(other.known) << status;
        EXPECT_EQ(other.status, kUpdateStatusUpToDate) << status;
        EXPECT_TRUE(other.reached) << status;
    }
    EXPECT_TRUE(RecordFromAnswer(list[0], Answered(newer, 203), newer).known);
    EXPECT_EQ(fw(R"({"name":"K","version":"99999999999999"})").status, kUpdateStatusAvailable);

    // The application's versions are decimal and its newest text is the version name.
    r = app(R"({"name":"Configurator","version":"11","version_name":"V0.1.1"})");
    EXPECT_EQ(r.status, kUpdateStatusAvailable);
    EXPECT_EQ(r.installedText, "V10");
    EXPECT_EQ(r.newestText, "V0.1.1");
    EXPECT_EQ(app(R"({"name":"C","version":"a"})").status, kUpdateStatusUpToDate);

    // No name, not an object, not JSON: no information under the table's name, but reached.
    for (const std::string answer : {R"({"version":"0200"})", R"({"name":"","version":"0200"})",
                                     R"(["name"])", "<html>oops</html>", "", "null"}) {
        r = fw(answer);
        EXPECT_FALSE(r.known) << answer;
        EXPECT_EQ(r.status, kUpdateStatusUpToDate) << answer;
        EXPECT_EQ(r.name, "Norla Keys NK-7X") << answer;
        EXPECT_EQ(r.newestText, "") << answer;
    }
    // An answer cut at the bound is never read, even when what arrived parses.
    HttpResult cut = Answered(newer);
    cut.truncated = true;
    EXPECT_EQ(RecordFromAnswer(list[0], cut, newer).status, kUpdateStatusUpToDate);
    EXPECT_FALSE(RecordFromAnswer(list[0], cut, newer).known);
}

TEST(UpdateAnswer, OverallResult) {
    UpdateRecord available;
    available.status = kUpdateStatusAvailable;
    available.reached = available.known = true;
    UpdateRecord upToDate;
    upToDate.reached = upToDate.known = true;
    UpdateRecord saidNothing; // reached, but no usable answer
    saidNothing.reached = true;
    const UpdateRecord unreached;
    EXPECT_EQ(OverallResult({}), UpdateCheckState::NoInformation);
    EXPECT_EQ(OverallResult({unreached, unreached}), UpdateCheckState::NoInformation);
    EXPECT_EQ(OverallResult({upToDate, upToDate}), UpdateCheckState::UpToDate);
    // Up to date only when every product is known to be.
    EXPECT_EQ(OverallResult({unreached, upToDate}), UpdateCheckState::NoInformation);
    EXPECT_EQ(OverallResult({saidNothing, upToDate}), UpdateCheckState::NoInformation);
    EXPECT_EQ(OverallResult({unreached, available}), UpdateCheckState::Available);
    EXPECT_STREQ(UpdateCheckStateName(UpdateCheckState::Available), "available");
    EXPECT_STREQ(UpdateCheckStateName(UpdateCheckState::UpToDate), "up-to-date");
    EXPECT_STREQ(UpdateCheckStateName(UpdateCheckState::NoInformation), "no-information");
    EXPECT_EQ(UpdateUrl("http://h/api/"), "http://h/api/updates");
    EXPECT_EQ(UpdateUrl("http://h/api"), "http://h/api/updates");
}

TEST(UpdateCheckRun, KeyboardUpdateAvailableApplicationCurrent) {
    TestHttpServer server(
        ByKey({{kKeyboardKey, R"({"name":"NK-7X","version":"0106","path":"p","device_id":1})"},
               {kApplicationKey, R"({"name":"NK-7X App","version":"10","version_name":"V0.1.0"})"}}));
    ASSERT_TRUE(server.Started());
    CUpdateCheck check(server.Origin() + "/api/", KeyboardAndApplication());
    std::vector<UpdateCheckState> states;
    std::vector<size_t> order;
    check.SetListener({[&](UpdateCheckState s) { states.push_back(s); },
                       [&](size_t i, const UpdateRecord&) { order.push_back(i); }});
    EXPECT_EQ(check.Records()[0].installedText, "V0105"); // placeholders before the run
    EXPECT_EQ(check.Run(), UpdateCheckState::Available);
    EXPECT_EQ(states,
              (std::vector<UpdateCheckState>{UpdateCheckState::Checking, UpdateCheckState::Available}));
    EXPECT_EQ(order, (std::vector<size_t>{0, 1}));
    const auto& records = check.Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].status, kUpdateStatusAvailable);
    EXPECT_EQ(records[0].installedText, "V0105");
    EXPECT_EQ(records[0].newestText, "V0106");
    EXPECT_EQ(records[1].status, kUpdateStatusUpToDate);
    EXPECT_EQ(check.Failures(), 0u);

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].head.substr(0, requests[0].head.find("\r\n")), "POST /api/updates HTTP/1.1");
    EXPECT_EQ(requests[0].body, "app_key=" + kKeyboardKey + "&version=105" + std::string(1, '\0'));
    EXPECT_EQ(requests[1].body, "app_key=" + kApplicationKey + "&version=10" + std::string(1, '\0'));
}

TEST(UpdateCheckRun, AnswersThatSayNothingAreNoInformation) {
    std::string padded = R"({"name":"NK-7X","version":"0200"})";
    padded.append(200000 - padded.size(), ' '); // parses if read only up to the bound
    TestHttpServer server([&](const TestHttpServer::Request& request) {
        if (KeyOf(request.body) == kKeyboardKey)
            return TestHttpServer::Reply{TestHttpServer::Action::Answer, TestHttpServer::Answer(200, padded)};
        return TestHttpServer::Reply{TestHttpServer::Action::Answer, TestHttpServer::Answer(500, "broken")};
    });
    ASSERT_TRUE(server.Started());
    CUpdateCheck check(server.Origin() + "/api/", KeyboardAndApplication());
    EXPECT_EQ(check.Run(), UpdateCheckState::NoInformation);
    EXPECT_FALSE(check.Records()[0].known) << "an answer cut at the bound";
    EXPECT_FALSE(check.Records()[1].known) << "an error page";
    EXPECT_EQ(check.Failures(), 2u);
}

// A server that sends one byte now and then: the whole check ends at its deadline, what was not
// answered by then has no information.
TEST(UpdateCheckRun, ATricklingServerCannotHoldTheCheck) {
    TestHttpServer server([](const TestHttpServer::Request&) {
        return TestHttpServer::Reply{TestHttpServer::Action::Trickle,
                                     TestHttpServer::Answer(200, R"({"name":"NK-7X","version":"0200"})"),
                                     200};
    });
    ASSERT_TRUE(server.Started());
    CUpdateCheck check(server.Origin() + "/api/", KeyboardAndApplication());
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(check.Run(nullptr, 1500), UpdateCheckState::NoInformation);
    const auto took =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begin)
            .count();
    EXPECT_LT(took, 4000) << "one deadline for both products";
    EXPECT_GE(took, 1400);
    EXPECT_FALSE(check.Records()[0].known);
    EXPECT_FALSE(check.Records()[1].known);
    EXPECT_EQ(check.Failures(), 2u);
}

TEST(UpdateCheckRun, UnreachableServerGivesNoInformation) {
    RefusingPort port;
    ASSERT_NE(port.Port(), 0);
    KeepLoopbackOffProxies();
    CUpdateCheck check("http://127.0.0.1:" + std::to_string(port.Port()) + "/api/", KeyboardAndApplication());
    EXPECT_EQ(check.Run(), UpdateCheckState::NoInformation);
    EXPECT_EQ(check.Failures(), 2u);
    for (const UpdateRecord& r : check.Records()) {
        EXPECT_EQ(r.status, kUpdateStatusUpToDate);
        EXPECT_FALSE(r.reached);
        EXPECT_NE(r.name, kNoLinkServer);
    }
    EXPECT_EQ(check.Records()[0].name, "Norla Keys NK-7X");
    EXPECT_EQ(check.Records()[0].installedText, "V0105");

    // Nothing to check is no information as well.
    CUpdateCheck empty("http://127.0.0.1:" + std::to_string(port.Port()) + "/api/", {});
    EXPECT_EQ(empty.Run(), UpdateCheckState::NoInformation);
}

TEST(UpdateCheckRun, ServerThatHangsUpWithoutAnAnswerGivesNoInformation) {
    for (const bool onAccept : {true, false}) {
        TestHttpServer server([](const TestHttpServer::Request&) {
            return TestHttpServer::Reply{TestHttpServer::Action::Close, {}};
        });
        ASSERT_TRUE(server.Started());
        server.SetCloseOnAccept(onAccept);
        CUpdateCheck check(server.Origin() + "/api/", KeyboardAndApplication());
        EXPECT_EQ(check.Run(), UpdateCheckState::NoInformation) << onAccept;
        EXPECT_EQ(check.Failures(), 2u);
        EXPECT_EQ(server.Accepted(), 2);
    }
}

TEST(UpdateCheckRun, NoServerAddressContactsNothing) {
    CUpdateCheck check("", KeyboardAndApplication());
    std::vector<UpdateCheckState> states;
    check.SetListener({[&](UpdateCheckState s) { states.push_back(s); }, {}});
    EXPECT_EQ(check.Run(), UpdateCheckState::NotConfigured);
    EXPECT_EQ(states, std::vector<UpdateCheckState>{UpdateCheckState::NotConfigured});
    EXPECT_EQ(check.Records().size(), 2u); // the rows still show what is installed
}

TEST(UpdateCheckRun, CancelEndsARequestUnderWay) {
    TestHttpServer server([](const TestHttpServer::Request&) {
        return TestHttpServer::Reply{TestHttpServer::Action::Hold, {}};
    });
    ASSERT_TRUE(server.Started());
    CUpdateCheck check(server.Origin() + "/api/", KeyboardAndApplication());
    std::mutex mutex;
    std::vector<UpdateCheckState> states;
    check.SetListener({[&](UpdateCheckState s) {
                           std::lock_guard lock(mutex);
                           states.push_back(s);
                       },
                       {}});
    UpdateCheckState result = UpdateCheckState::Checking;
    std::thread worker([&] { result = check.Run(); });
    ASSERT_TRUE(WaitUntil([&] { return server.RequestCount() == 1; }));
    check.Cancel();
    worker.join();
    EXPECT_EQ(result, UpdateCheckState::Cancelled);
    EXPECT_EQ(server.RequestCount(), 1); // the application was never asked
    EXPECT_EQ(states.back(), UpdateCheckState::Cancelled);
}

TEST(UpdateCheckRun, StoppingTheWorkerSlotEndsTheCheck) {
    TestHttpServer server([](const TestHttpServer::Request&) {
        return TestHttpServer::Reply{TestHttpServer::Action::Hold, {}};
    });
    ASSERT_TRUE(server.Started());
    CUpdateCheck check(server.Origin() + "/api/", KeyboardAndApplication());
    std::atomic<int> cancelled{0};
    check.SetListener({[&](UpdateCheckState s) { cancelled += s == UpdateCheckState::Cancelled; }, {}});
    WorkerSlots slots;
    ASSERT_TRUE(check.StartIn(slots, 0));
    EXPECT_FALSE(check.StartIn(slots, 0)); // busy
    ASSERT_TRUE(WaitUntil([&] { return server.RequestCount() == 1; }));
    const WorkerSlots::StopResult stopped = slots.StopAll(kWaitPatience);
    EXPECT_EQ(stopped.joined, 1);
    EXPECT_EQ(cancelled.load(), 1);
    EXPECT_EQ(server.RequestCount(), 1);
}

TEST(UpdateCheckRun, WritesTheLastCheckDateAfterEachProduct) {
    const auto folder =
        std::filesystem::temp_directory_path() / ("nk7x-lastcheck-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string file = (folder / "updatetime.config").string();
    TestHttpServer server(ByKey({{kKeyboardKey, R"({"name":"K","version":"0105"})"},
                                 {kApplicationKey, R"({"name":"A","version":"10"})"}}));
    ASSERT_TRUE(server.Started());
    CUpdateCheck check(server.Origin() + "/api/", KeyboardAndApplication());
    check.SetLastCheckFile(file, "2024-5-6");
    int seenWhenFirstDone = 0;
    check.SetListener({{}, [&](size_t i, const UpdateRecord&) {
                           if (i == 0)
                               seenWhenFirstDone = std::filesystem::exists(file) ? 1 : 0;
                       }});
    EXPECT_EQ(check.Run(), UpdateCheckState::UpToDate);
    EXPECT_EQ(seenWhenFirstDone, 1);
    EXPECT_EQ(ReadLastCheck(file, "1999-1-1"), "2024-5-6");

    // A file without a date gets today's, which is then what it reads.
    std::ofstream(file) << "{\"updatelasttime\": {}}";
    EXPECT_EQ(ReadLastCheck(file, "2025-12-31"), "2025-12-31");
    EXPECT_EQ(ReadLastCheck(file, "2026-1-1"), "2025-12-31");
    EXPECT_EQ(LastCheckDateText(2024, 1, 9), "2024-1-9");
    std::filesystem::remove_all(folder);
}
