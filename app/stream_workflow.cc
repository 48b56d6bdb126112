#include "app/stream_workflow.h"

#include "app/text_rules.h"
#include "app/texts.h"
#include "hostctl/page_query.h"
#include "platform/sinks.h"

namespace app {

bool StreamWorkflow::StartFetch(const std::string& linkBoxText) {
    if (Find(linkBoxText, texts::ShareLinkHost()) == -1) {
        platform::ShowMessageBox(texts::WrongLinkMessage(), texts::WrongLinkTitle(),
                                 platform::kMbOk | platform::kMbTaskModal);
        return false;
    }
    // A shared text carries words around the link; only the link can load.
    page_.Load(LinkToLoad(linkBoxText));
    return true;
}

std::optional<std::string> StreamWorkflow::FinishFetch(int result) {
    hostctl::PageQuery query;
    if (result != 0) return std::nullopt;
    std::string html = query.Query(reinterpret_cast<wkeWebView>(page_.View()), 2,
                                   texts::StreamElementSelector(), 1);
    Extraction found = ExtractStream(hostctl::ConvertUtf8(html));
    lastSucceeded_ = found.success;
    if (found.success) {
        playerAddress_ = texts::PlayerAddressPrefix() + found.streamAddress;
        platform::CopyToClipboard(found.message);
    }
    return found.message;
}

}  // namespace app
