/* The engine's own smoke check, in plain C: load node.so from the program's directory the
 * way the program does, make a view, load a page, run a script that calls a bound native
 * function, and print what came back. Exit status 0 when everything answered. */
#include <dlfcn.h>
#include <poll.h>
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include "engine/capi/wke.h"

#define ENTRY(name) static __typeof__(&name) p_##name;
#define RESOLVE(name)                                              \
    if (!(p_##name = (__typeof__(&name))dlsym(module, #name))) {   \
        fprintf(stderr, "node.so lacks %s\n", #name);              \
        return 1;                                                  \
    }

ENTRY(wkeInitializeEx) ENTRY(wkeShutdown) ENTRY(wkeCreateWebWindow) ENTRY(wkeLoadHTML)
ENTRY(wkeOnLoadingFinish) ENTRY(wkeGetEventFd) ENTRY(wkeWake) ENTRY(wkeJsBindFunction)
ENTRY(wkeRunJsByFrame) ENTRY(wkeGlobalExec) ENTRY(jsToString) ENTRY(jsArg) ENTRY(jsStringW)
ENTRY(jsToTempStringW) ENTRY(wkeGetString) ENTRY(wkeVersionString)

static int finished = -1;

static void OnFinish(wkeWebView view, void* param, const wkeString url, wkeLoadingResult result,
                     const wkeString reason) {
    finished = (int)result;
}

static jsValue Greet(jsExecState es, void* param) {
    const char16_t* name = p_jsToTempStringW(es, p_jsArg(es, 0));
    static char16_t answer[64];
    const char16_t prefix[] = u"你好, ";
    size_t n = 0;
    for (; prefix[n]; ++n) answer[n] = prefix[n];
    for (size_t i = 0; name[i] && n < 62; ++i) answer[n++] = name[i];
    answer[n] = 0;
    return p_jsStringW(es, answer);
}

int main(int argc, char** argv) {
    char path[4096];
    ssize_t len = readlink("/proc/self/exe", path, sizeof path - 16);
    if (len <= 0) return 1;
    path[len] = 0;
    strcpy(strrchr(path, '/') + 1, "node.so");
    void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        fprintf(stderr, "cannot load %s: %s\n", path, dlerror());
        return 1;
    }
    RESOLVE(wkeInitializeEx) RESOLVE(wkeShutdown) RESOLVE(wkeCreateWebWindow) RESOLVE(wkeLoadHTML)
    RESOLVE(wkeOnLoadingFinish) RESOLVE(wkeGetEventFd) RESOLVE(wkeWake) RESOLVE(wkeJsBindFunction)
    RESOLVE(wkeRunJsByFrame) RESOLVE(wkeGlobalExec) RESOLVE(jsToString) RESOLVE(jsArg)
    RESOLVE(jsStringW) RESOLVE(jsToTempStringW) RESOLVE(wkeGetString) RESOLVE(wkeVersionString)

    printf("engine: %s\n", p_wkeVersionString());
    p_wkeInitializeEx(NULL);
    p_wkeJsBindFunction("Greet", Greet, NULL, 1);
    wkeWebView view = p_wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, NULL, 0, 0, 360, 720);
    if (!view) {
        fprintf(stderr, "no web view: the browser did not start\n");
        return 1;
    }
    p_wkeOnLoadingFinish(view, OnFinish, NULL);
    p_wkeLoadHTML(view, "<title>smoke</title><iframe srcdoc='<p>inner</p>'></iframe>");
    time_t deadline = time(NULL) + 15;
    while (finished < 0 && time(NULL) < deadline) {
        struct pollfd pfd = {p_wkeGetEventFd(), POLLIN, 0};
        poll(&pfd, 1, 100);
        p_wkeWake(NULL);
    }
    printf("page loaded: %s\n", finished == WKE_LOADING_SUCCEEDED ? "yes" : "no");
    const char* inner = p_jsToString(p_wkeGlobalExec(view),
                                     p_wkeRunJsByFrame(view, 2, "return window.top.Greet(document.body.innerText);", true));
    printf("frame 2 says: %s\n", inner);
    int ok = finished == WKE_LOADING_SUCCEEDED && strcmp(inner, "你好, inner") == 0;
    p_wkeShutdown();
    printf("%s\n", ok ? "engine smoke check passed" : "engine smoke check FAILED");
    return ok ? 0 : 1;
}
