// A page from the internet must not read, or even reach, services on loopback and the local
// network through the browser the program drives; pages that are themselves local keep
// reaching them.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/hostile_site.h"
#include "tests/support/page_view.h"

namespace {

constexpr const char* kSecret = "LOOPBACK-SECRET";

// Tries every way in turn and puts what each read into the title, "done" last.
std::string Prober(const std::string& target) {
    return "<p>prober</p><script>(async function(){"
           "var target='" +
           target +
           "', out={};"
           "try{out.fetch=await (await fetch(target+'/fetch')).text()}catch(e){out.fetch='refused'}"
           "try{var x=new XMLHttpRequest();x.open('GET',target+'/xhr',false);x.send();"
           "out.xhr=x.responseText}catch(e){out.xhr='refused'}"
           "try{out.redirect=await (await fetch('/bounce')).text()}catch(e){out.redirect='refused'}"
           "try{out.own=await (await fetch('/own')).text()}catch(e){out.own='refused'}"
           "out.frame=await new Promise(function(done){var f=document.createElement('iframe');"
           "f.onload=function(){try{done(f.contentDocument.body.innerText)}catch(e){done('"
           "unreadable')}};"
           "f.src=target+'/frame';document.body.appendChild(f)});"
           "out.image=await new Promise(function(done){var i=new Image();"
           "i.onload=function(){done('loaded')};i.onerror=function(){done('refused')};"
           "i.src=target+'/image'});"
           "out.worker=await new Promise(function(done){var w=new Worker(URL.createObjectURL("
           "new Blob([\"fetch('\"+target+\"/worker').then(function(r){return r.text()})"
           ".then(function(t){postMessage(t)},function(){postMessage('refused')})\"])));"
           "w.onmessage=function(e){done(e.data)}});"
           "document.title='done '+JSON.stringify(out)})()</script>";
}

class LocalNetwork : public testsupport::PageView {
  protected:
    void SetUp() override {
        PageView::SetUp();
        for (const char* path : {"/fetch", "/xhr", "/frame", "/redirected", "/worker"}) {
            testsupport::HttpResponse secret;
            secret.body = kSecret;
            secret.headers.push_back({"Access-Control-Allow-Origin", "*"});
            hostile::Local().Serve(path, secret);
        }
        testsupport::HttpResponse image;
        image.contentType = "image/gif";
        image.body = std::string(
            "GIF89a\x01\0\x01\0\x80\0\0\0\0\0\xff\xff\xff!\xf9\x04\x01\0\0\0\0,"
            "\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0;",
            43);
        hostile::Local().Serve("/image", image);
    }
    // Loads the prober from `site` under `host` against `target` and waits for its report.
    std::string Probe(hostile::Site& site, const std::string& host, const std::string& target) {
        testsupport::HttpResponse bounce;
        bounce.status = 302;
        bounce.headers.push_back({"Location", hostile::Local().Url("127.0.0.1", "/redirected")});
        site.Serve("/bounce", bounce);
        site.Serve("/own", "own");
        site.Serve("/prober", Prober(target));
        // Not LoadUrl: the prober adds its own frame as soon as its first requests are done.
        EXPECT_TRUE(session_.Load(site.Url(host, "/prober"), 10000)) << session_.Error();
        std::string title;
        testsupport::PumpHostLoop([&] {
            title = hostctl::Engine().wkeGetTitle(view_);
            return title.rfind("done ", 0) == 0;
        });
        return title;
    }
    int SecretHits() {
        int hits = 0;
        for (const char* path : {"/fetch", "/xhr", "/frame", "/redirected", "/image", "/worker"})
            hits += hostile::Local().Hits(path);
        return hits;
    }
};

// The loopback service under the platform's name, by its address, and as localhost.
TEST_F(LocalNetwork, APublicPageNeitherReachesNorReadsLoopback) {
    for (const std::string host : {hostile::kShareHost, "127.0.0.1", "localhost"}) {
        SCOPED_TRACE(host);
        int before = SecretHits();
        std::string report =
            Probe(hostile::Public(), "public.test", hostile::Local().Url(host, ""));
        ASSERT_EQ(report.rfind("done ", 0), 0u) << report;
        EXPECT_EQ(report.find(kSecret), std::string::npos) << report;
        EXPECT_NE(report.find("\"fetch\":\"refused\""), std::string::npos) << report;
        EXPECT_NE(report.find("\"xhr\":\"refused\""), std::string::npos) << report;
        EXPECT_NE(report.find("\"redirect\":\"refused\""), std::string::npos) << report;
        EXPECT_NE(report.find("\"image\":\"refused\""), std::string::npos) << report;
        EXPECT_NE(report.find("\"worker\":\"refused\""), std::string::npos) << report;
        EXPECT_NE(report.find("\"own\":\"own\""), std::string::npos) << report;  // its own site
        EXPECT_EQ(SecretHits(), before);  // refused before anything was sent
    }
}

TEST_F(LocalNetwork, ALocalPageStillReachesLoopback) {
    std::string report =
        Probe(hostile::Local(), hostile::kShareHost, hostile::Local().Url("127.0.0.1", ""));
    EXPECT_NE(report.find(std::string("\"fetch\":\"") + kSecret), std::string::npos) << report;
    EXPECT_NE(report.find(std::string("\"xhr\":\"") + kSecret), std::string::npos) << report;
    EXPECT_NE(report.find(std::string("\"frame\":\"") + kSecret), std::string::npos) << report;
    EXPECT_NE(report.find(std::string("\"redirect\":\"") + kSecret), std::string::npos) << report;
    EXPECT_NE(report.find("\"image\":\"loaded\""), std::string::npos) << report;
    EXPECT_NE(report.find(std::string("\"worker\":\"") + kSecret), std::string::npos) << report;
}

// Only the main frame makes a page public: a public page in a frame of a local one leaves
// the local page its own requests to loopback. (The local page is upgraded to https, so the
// frame is too: mixed content would be blocked before any guard looked at it.)
TEST_F(LocalNetwork, ALocalPageThatFramesAPublicOneStillReachesLoopback) {
    hostile::Public().Serve("/framed", "<p>public</p>");
    hostile::Local().Serve(
        "/framer",
        "<iframe src='https://public.test:" + std::to_string(hostile::Public().port()) + "/framed" +
            "' onload=\"var framed=this.contentDocument.body.innerText;fetch('" +
            hostile::Local().Url("127.0.0.1", "/fetch") +
            "').then(function(r){return r.text()}).then(function(t){document.title='done '+"
            "framed+' '+t},function(){document.title='done '+framed+' refused'})\"></iframe>");
    LoadUrl(hostile::Local().Url(hostile::kShareHost, "/framer"), 2);
    std::string title;
    testsupport::PumpHostLoop([&] {
        title = hostctl::Engine().wkeGetTitle(view_);
        return title.rfind("done", 0) == 0;
    });
    EXPECT_EQ(title, std::string("done public ") + kSecret);
}

// A public page that sends the view to a local address which never replaces it (no content)
// keeps its guard.
TEST_F(LocalNetwork, APublicPageCannotShedTheGuardByANavigationThatNeverArrives) {
    testsupport::HttpResponse empty;
    empty.status = 204;
    hostile::Local().Serve("/nothing", empty);
    hostile::Public().Serve("/own", "own");
    hostile::Public().Serve(
        "/shed",
        "<p>shed</p><script>function later(){fetch('" +
            hostile::Local().Url("127.0.0.1", "/fetch") +
            "').then(function(r){return r.text()}).then(function(t){document.title='done '+t},"
            "function(){document.title='done refused'})}</script>");
    LoadUrl(hostile::Public().Url("public.test", "/shed"));
    automation::RunScript(
        view_, 1, "location.href='" + hostile::Local().Url("127.0.0.1", "/nothing") + "';", false);
    ASSERT_TRUE(testsupport::PumpHostLoop([&] { return hostile::Local().Hits("/nothing") > 0; }));
    std::string title;
    testsupport::PumpHostLoop([&] {
        automation::RunScript(view_, 1, "if(!window.asked){window.asked=1;later()}", false);
        title = hostctl::Engine().wkeGetTitle(view_);
        return title.rfind("done", 0) == 0;
    });
    EXPECT_EQ(title, "done refused");
}

}  // namespace

namespace {

// A service worker runs apart from the page that registered it; its requests are judged by
// its own site.
class Workers : public testsupport::PageView {
  protected:
    std::string AskWorker(hostile::Site& site, const std::string& host) {
        testsupport::HttpResponse script;
        script.contentType = "text/javascript";
        script.body =
            "self.addEventListener('message',function(e){fetch(e.data)"
            ".then(function(r){return r.text()})"
            ".then(function(t){e.source.postMessage(t)},function(){e.source.postMessage('refused')}"
            ")})";
        site.Serve("/sw.js", script);
        testsupport::HttpResponse secret;
        secret.body = kSecret;
        hostile::Local().Serve("/sw-target", secret);
        site.Serve("/sw-page",
                   "<p>sw</p><script>navigator.serviceWorker.register('/sw.js')"
                   ".then(function(){return navigator.serviceWorker.ready})"
                   ".then(function(reg){navigator.serviceWorker.onmessage=function(e){"
                   "document.title='done '+e.data};reg.active.postMessage('" +
                       hostile::Local().Url("127.0.0.1", "/sw-target") +
                       "')}).catch(function(e){document.title='done no worker '+e})</script>");
        // A secure page, as service workers need: the servers answer TLS too.
        LoadUrl("https://" + host + ":" + std::to_string(site.port()) + "/sw-page");
        std::string title;
        testsupport::PumpHostLoop([&] {
            title = hostctl::Engine().wkeGetTitle(view_);
            return title.rfind("done ", 0) == 0;
        });
        return title;
    }
};

TEST_F(Workers, APublicSitesServiceWorkerDoesNotReachLoopbackALocalOnesDoes) {
    int before = hostile::Local().Hits("/sw-target");
    EXPECT_EQ(AskWorker(hostile::Public(), "public.test"), "done refused");
    EXPECT_EQ(hostile::Local().Hits("/sw-target"), before);
    EXPECT_EQ(AskWorker(hostile::Local(), "local.test"), std::string("done ") + kSecret);
}

}  // namespace
