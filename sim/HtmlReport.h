#pragma once
// The report as one page a data author can open offline from a mod folder: inline SVG and CSS, no
// script, nothing loaded from elsewhere. Made from the JSON report itself, so the two always agree.
#include <string>

#include <nlohmann/json.hpp>

namespace sim {

std::string FormatHtmlReport(const nlohmann::json& report);

// Text made safe for an HTML text node or a quoted attribute value.
std::string EscapeHtml(std::string_view text);

}  // namespace sim
