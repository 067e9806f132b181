#include <gtest/gtest.h>
#include <httplib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "CatalogueWriter.h"
#include "ContentServer.h"
#include "support/TempFolder.h"

// The project's content server over the built site: every file and command the programs
// ask for, and the requests it refuses.
namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A line `dim <record> = "a,b,c,d"` of the version list.
bool HasVersionRecord(const std::string& list, const std::string& record) {
    std::istringstream lines(list);
    for (std::string line; std::getline(lines, line);) {
        char name[64] = "";
        int a, b, c, d;
        if (std::sscanf(line.c_str(), "dim %63s = \"%d,%d,%d,%d\"", name, &a, &b, &c, &d) == 5 &&
            record == name)
            return true;
    }
    return false;
}

// The pictures of a page: their source and their alternative text.
std::vector<std::pair<std::string, std::string>> Images(const std::string& page) {
    std::vector<std::pair<std::string, std::string>> images;
    const std::string open = "<img src=\"";
    for (size_t at = page.find(open); at != std::string::npos; at = page.find(open, at + 1)) {
        const size_t src = at + open.size();
        const size_t srcEnd = page.find('"', src);
        const std::string altOpen = "\" alt=\"";
        if (page.compare(srcEnd, altOpen.size(), altOpen) != 0) continue;
        const size_t alt = srcEnd + altOpen.size();
        images.emplace_back(page.substr(src, srcEnd - src),
                            page.substr(alt, page.find('"', alt) - alt));
    }
    return images;
}

class ContentServerNetTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Start());
        client_ = std::make_unique<httplib::Client>("127.0.0.1", server_.Port());
        client_->set_connection_timeout(5);
    }
    httplib::Result Get(const std::string& path) { return client_->Get(path.c_str()); }
    httplib::Result Post(const std::string& path, const std::string& body) {
        return client_->Post(path.c_str(), body, "application/x-www-form-urlencoded");
    }
    std::vector<std::string> Kept(const std::string& kind) {
        std::vector<std::string> files;
        std::error_code error;
        for (const auto& e : std::filesystem::directory_iterator(uploads_.Path() + kind, error))
            files.push_back(ReadText(e.path().string()));
        return files;
    }

    TempFolder uploads_;
    ContentServer server_{KIVORA_CONTENT_SITE, uploads_.Path()};
    std::unique_ptr<httplib::Client> client_;
};

TEST_F(ContentServerNetTest, TheInstallerFindsTheVersionListTheComponentsAndTheScript) {
    const auto list = Get("/versionInfo.txt");
    ASSERT_TRUE(list && list->status == 200);
    for (const char* record :
         {"DuzazododizaVersion", "GearscoutVersion", "UpdaterVersion", "PagepaneVersion",
          "SplashScreenVersion", "InstallerVersion", "HostVersion"})
        EXPECT_TRUE(HasVersionRecord(list->body, record)) << record;
    for (const char* cabinet :
         {"/Roomwright.dl_", "/Gearscout.dl_", "/Patchrunner.dl_", "/Pagepane.dl_",
          "/Introcard.dl_", "/Installer.dl_", "/Kivora.ex_"}) {
        const auto got = Get(cabinet);
        ASSERT_TRUE(got && got->status == 200) << cabinet;
        EXPECT_EQ(got->body.substr(0, 4), "MSCF") << cabinet;
    }
    const auto script = Get("/Update.txt");
    ASSERT_TRUE(script && script->status == 200);
}

TEST_F(ContentServerNetTest, TheDirectoryListsItemsWhoseDescriptionsAndPicturesAreServed) {
    const auto page = Get("/directory/directory.aspx");
    ASSERT_TRUE(page && page->status == 200);
    EXPECT_EQ(page->body.find("{{"), std::string::npos);
    const std::string domain = "http://" + server_.Address() + "/";
    std::set<std::string> seen;
    for (const auto& [picture, address] : Images(page->body)) {
        SCOPED_TRACE(address);
        // What a drop reads: the item's address in the picture's alternative text, and
        // behind "&kvr=" in its link.
        ASSERT_EQ(address.rfind(domain, 0), 0u);
        EXPECT_NE(address.find("3c_"), std::string::npos);
        std::string lower = address;
        for (char& c : lower) c = static_cast<char>(std::tolower(c));
        EXPECT_EQ(address, lower);
        EXPECT_NE(page->body.find("kvr=" + address + "&amp;"), std::string::npos);
        const auto description = Get("/" + address.substr(domain.size()));
        ASSERT_TRUE(description && description->status == 200);
        EXPECT_EQ(description->body.substr(0, 4), "MSCF");
        const auto thumbnail = Get(picture);
        ASSERT_TRUE(thumbnail && thumbnail->status == 200);
        EXPECT_EQ(thumbnail->body.substr(1, 3), "PNG");
        seen.insert(address);
    }
    EXPECT_EQ(seen.size(), CatalogueItems().size());
    for (const char* wizard : {"cottage.xml", "townhouse.xml", "lhouse.xml"}) {
        EXPECT_NE(page->body.find(domain + "catalogue/wizard/" + wizard), std::string::npos);
        const auto xml = Get(std::string("/catalogue/wizard/") + wizard);
        ASSERT_TRUE(xml && xml->status == 200);
        EXPECT_EQ(xml->body.rfind("<planXML>", 0), 0u);
    }
}

TEST_F(ContentServerNetTest, TheEditorsContentAndPagesAreThere) {
    for (const char* path :
         {"/", "/textures/default_interior.3c_", "/textures/brick/bostonred_r_im.3c_",
          "/Textures/Wood/autumnCherryMat.3c_", "/3d/pp/knobs/knob02.3c_",
          "/3d/compressedfileformat/gtemp/arrow.3c_", "/plansys/gsun/sun.3c_",
          "/3d/compressedfileformat/defaultspotlight.3c_",
          "/3d/fences/wrghtiron/ovation/ovation60.3c_", "/plansys/cameraMapWin.jpg",
          "/Duzazododiza/Wizard/bwstep1.aspx?userID=7", "/duzazododiza/wizard/rwstep1.aspx",
          "/kvrHelp/kivora_Help.htm", "/pages/FAQ/OptimizationHints.aspx",
          "/Duzazododiza/genericObjectPages/UnknownObjectPage.htm",
          "/pages/Tips/Tips_1.aspx?curnum=1&totalnum=45", "/pages/Tips/Tips_45.aspx",
          "/GetUserStatus.aspx"}) {
        const auto got = Get(path);
        ASSERT_TRUE(got) << path;
        EXPECT_EQ(got->status, 200) << path;
    }
    const auto object = Get("/Duzazododiza/genericObjectPages/genericObjectPage.aspx?name=%3Cb%3E");
    ASSERT_TRUE(object && object->status == 200);
    EXPECT_NE(object->body.find("&lt;b&gt;"), std::string::npos);
    EXPECT_EQ(object->body.find("<b>"), std::string::npos);
}

TEST_F(ContentServerNetTest, TheQueryPageAnswersEveryCommand) {
    const std::string page = "/kvrQueryEntrance.aspx";
    struct Case {
        std::string query;
        std::string reply;
    };
    const Case signIns[] = {
        {"?getID=1&uname=demo%40kivora.local&upw=demo", "1001"},
        {"?getID=1&uname=DEMO%40Kivora.Local&upw=demo", "1001"},
        {"?getID=1&uname=demo%40kivora.local&upw=nope", "Invalid Password"},
        {"?getID=1&uname=who%40else&upw=demo", "Invalid Username"},
        {"?getID=1", "Invalid Username"},
        {"?getPage=1&pageName=nothing", "No Page"},
        {"?getPage=1&pageName=..%2Faccounts", "No Page"},
    };
    for (const Case& c : signIns) {
        const auto got = Get(page + c.query);
        ASSERT_TRUE(got) << c.query;
        EXPECT_EQ(got->body, c.reply) << c.query;
    }
    const auto account = Get(page + "?getPage=1&pageName=account&uName=x&upw=y");
    ASSERT_TRUE(account);
    EXPECT_NE(account->body.find("<html>"), std::string::npos);

    // Recommended settings: a letter, three flags and eight numbers.
    const auto settings = Get(page + "?cardName=llvmpipe%20(LLVM)&vendorName=Mesa&defSettings=1");
    ASSERT_TRUE(settings);
    std::istringstream numbers(settings->body.substr(1));
    int count = 0;
    for (long value; numbers >> value;) ++count;
    EXPECT_NE(settings->body[1], 'F');
    EXPECT_EQ(count, 11) << settings->body;

    // Uploads are kept, one file each.
    auto posted = Post(page + "?pcSet=1&userId=1001", "isAcc=1&rnd=x");
    ASSERT_TRUE(posted);
    EXPECT_EQ(posted->body, "SUCCESS");
    EXPECT_EQ(Kept("probe"), std::vector<std::string>{"isAcc=1&rnd=x"});
    posted = Post(page + "?errPost=1&userID=1001&fileName=Kivora_trace.txt", "log lines");
    ASSERT_TRUE(posted && posted->status == 200);
    EXPECT_EQ(Kept("logs"), std::vector<std::string>{"log lines"});
    posted = Post(page + "?billMat=1&userID=1001", "<plan><item a=\"1\"/></plan>");
    ASSERT_TRUE(posted && posted->status == 200);
    EXPECT_EQ(server_.UploadCount("bills"), 1);
    const auto bill = Get("/BillMaterials.aspx?filename=Untitled.xml&userID=1001");
    ASSERT_TRUE(bill);
    EXPECT_NE(bill->body.find("&lt;item a=&quot;1&quot;/&gt;"), std::string::npos);
}

TEST_F(ContentServerNetTest, BadRequestsGetAnErrorAndNothingIsKept) {
    struct Case {
        std::string method;
        std::string path;
        int status;
    };
    const Case cases[] = {
        {"GET", "/kvrQueryEntrance.aspx", 400},
        {"GET", "/kvrQueryEntrance.aspx?nonsense=1", 400},
        {"GET", "/kvrQueryEntrance.aspx?errPost=1&userID=1", 400},
        {"POST", "/kvrQueryEntrance.aspx?billMat=1", 400},
        {"GET", "/missing.3c_", 404},
        {"GET", "/../accounts.txt", 400},
        {"GET", "/catalogue/../../etc/passwd", 400},
        {"GET", "/a%00b", 400},
        {"GET", "/catalogue/", 400},
        {"GET", "/catalogue", 404},
        {"GET", "/pages/Tips/Tips_46.aspx", 404},
        {"GET", "/pages/Tips/Tips_x.aspx", 404},
        {"PUT", "/versionInfo.txt", 405},
        {"DELETE", "/versionInfo.txt", 405},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.method + " " + c.path);
        httplib::Request request;
        request.method = c.method;
        request.path = c.path;
        const auto got = client_->send(request);
        ASSERT_TRUE(got);
        EXPECT_EQ(got->status, c.status);
    }
    const auto huge = Post("/kvrQueryEntrance.aspx?errPost=1&userID=1",
                           std::string(ContentServer::kMaxBodyBytes + 1, 'x'));
    ASSERT_TRUE(huge);
    EXPECT_EQ(huge->status, 413);
    // A host name that is no host name does not reach a page.
    const auto page = client_->Get("/directory/directory.aspx", {{"Host", "<script>"}});
    ASSERT_TRUE(page && page->status == 200);
    EXPECT_EQ(page->body.find("<script>"), std::string::npos);
    EXPECT_EQ(server_.UploadCount("logs") + server_.UploadCount("bills"), 0);
}

}  // namespace
