#pragma once
// The desktop's own way of opening an address: `xdg-open URL`, started detached (never left as a zombie)
// with its standard output discarded, so a tool's output stays clean.

#include "Platform/Desktop/UrlHandling/BrowserOpener.h"

namespace desktop {

class XdgBrowserOpener final : public BrowserOpener {
public:
    bool open(const std::string& url) override;
};

} // namespace desktop
