#include "HtmlReport.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <vector>

#include <fmt/format.h>

namespace sim {
namespace {

using Json = nlohmann::json;

constexpr const char* kStyle = R"(
body { font: 14px/1.45 "DejaVu Sans", "Segoe UI", sans-serif; color: #222; background: #f6f5f2; margin: 0 2em 3em; }
h1 { font-size: 1.6em; margin: 0.8em 0 0.2em; }
h2 { font-size: 1.3em; margin: 0 0 0.4em; }
h3 { font-size: 1.05em; margin: 1.1em 0 0.3em; }
section { background: #fff; border: 1px solid #ddd; border-radius: 6px; padding: 0.8em 1.2em 1em; margin: 1.2em 0; }
.note { color: #666; }
.row { display: flex; flex-wrap: wrap; gap: 1.5em; }
.row > div { flex: 1 1 28em; }
table { border-collapse: collapse; width: 100%; }
th, td { text-align: left; padding: 0.15em 0.5em; border-bottom: 1px solid #eee; vertical-align: middle; }
th { font-weight: 600; color: #555; }
td.n { text-align: right; font-variant-numeric: tabular-nums; }
.id { color: #888; font-size: 0.85em; }
.bar { display: inline-block; height: 0.8em; background: #5b8db8; }
tr.never td { color: #b03030; }
tr.never .bar { background: none; }
tr.dominant .bar { background: #d08a2a; }
.flag { font-size: 0.8em; padding: 0 0.4em; border-radius: 3px; background: #eee; }
tr.never .flag { background: #f6dada; }
tr.dominant .flag { background: #f7e6cc; }
.names span { display: inline-block; margin: 0 0.8em 0.1em 0; }
.names span.again { color: #b03030; }
svg text { font: 11px "DejaVu Sans", sans-serif; fill: #444; }
svg .share { fill: #c05a8a; }
svg .rest { fill: #6a8fc0; }
svg .setting { stroke: #111; stroke-width: 2; }
svg .bin { fill: #5b8db8; }
svg .bin.out { fill: #c03030; }
svg .bound { stroke: #2a7a2a; stroke-width: 1.5; stroke-dasharray: 4 3; }
svg .axis { stroke: #999; }
svg .npc { fill: #c05a8a; }
svg .spot { fill: none; stroke: #999; }
)";

std::string Text(const Json& value, const char* none = "-") {
  return value.is_string() ? EscapeHtml(value.get_ref<const std::string&>()) : std::string(none);
}

// A form as a reader knows it: its name when the game has one, and its ID.
std::string FormLabel(const Json& report, const std::string& id) {
  const auto& names = report["formNames"];
  if (names.contains(id)) return EscapeHtml(names[id].get<std::string>()) + " <span class=\"id\">" + id + "</span>";
  return "<span class=\"id\">" + EscapeHtml(id) + "</span>";
}

std::string Percent(double share) { return fmt::format("{:.1f}", 100.0 * share); }

// The share of women as a bar, with the city's setting marked on it.
std::string ShareFigure(const Json& city) {
  const int citizens = static_cast<int>(city["citizens"].size());
  const int women = city["women"].get<int>();
  const auto& data = city["locationData"];
  const Json setting = data.is_object() ? data["iFemalePercent"] : Json();
  std::string out = "<h3>Women among the citizens</h3>\n";
  if (citizens == 0) return out + "<p class=\"note\">No citizens were spawned here.</p>\n";
  const double share = static_cast<double>(women) / citizens;
  constexpr double kWidth = 480;
  out += fmt::format(
      "<p><b data-role=\"share\">{}&#8239;%</b> women: {} of {} citizens. Setting: iFemalePercent = {}{}.</p>\n",
      Percent(share), women, citizens, setting.is_number() ? std::to_string(setting.get<int>()) : "not readable",
      city["femaleRatioGlobal"].is_number()
          ? fmt::format(" (the game's ratio global holds {:g})", city["femaleRatioGlobal"].get<double>())
          : std::string());
  out += fmt::format("<svg width=\"{0}\" height=\"40\" viewBox=\"0 0 {0} 40\" role=\"img\">", kWidth + 20);
  out += fmt::format("<rect class=\"share\" x=\"10\" y=\"4\" width=\"{:.1f}\" height=\"18\"/>", kWidth * share);
  out += fmt::format("<rect class=\"rest\" x=\"{:.1f}\" y=\"4\" width=\"{:.1f}\" height=\"18\"/>", 10 + kWidth * share,
                     kWidth * (1 - share));
  if (setting.is_number()) {
    const double x = 10 + kWidth * std::clamp(setting.get<int>(), 0, 100) / 100.0;
    out += fmt::format("<line class=\"setting\" x1=\"{0:.1f}\" y1=\"0\" x2=\"{0:.1f}\" y2=\"26\"/>", x);
    out += fmt::format("<text x=\"{:.1f}\" y=\"37\" text-anchor=\"middle\">setting {}&#8239;%</text>", x,
                       setting.get<int>());
  }
  out += "<text x=\"10\" y=\"37\">0</text><text x=\"490\" y=\"37\" text-anchor=\"end\">100&#8239;%</text></svg>\n";
  return out;
}

// Heights of one sex in steps of 0.01 (the step the heights are drawn in), the city's bounds as
// dashed lines and every bar outside them in red.
std::string HeightHistogram(const Json& city, bool female) {
  const auto& data = city["locationData"];
  const char* minKey = female ? "fFemaleMinHeight" : "fMaleMinHeight";
  const char* maxKey = female ? "fFemaleMaxHeight" : "fMaleMaxHeight";
  std::optional<double> low, high;
  if (data.is_object() && data[minKey].is_number()) low = data[minKey].get<double>();
  if (data.is_object() && data[maxKey].is_number()) high = data[maxKey].get<double>();
  std::map<long, int> bins;  // hundredths -> citizens
  int unscaled = 0, outside = 0, people = 0;
  for (const auto& citizen : city["citizens"]) {
    if (citizen["female"].get<bool>() != female) continue;
    ++people;
    if (!citizen["scale"].is_number()) {
      ++unscaled;
      continue;
    }
    const double scale = citizen["scale"].get<double>();
    ++bins[std::lround(scale * 100)];
    if ((low && scale < *low - 1e-4) || (high && scale > *high + 1e-4)) ++outside;
  }
  std::string out = fmt::format("<div><h3>Heights of the {}</h3>\n", female ? "women" : "men");
  out += fmt::format("<p>Bounds {} to {}; {} of {} with a height{}{}.</p>\n", low ? fmt::format("{:.2f}", *low) : "?",
                     high ? fmt::format("{:.2f}", *high) : "?", people - unscaled, people,
                     outside ? fmt::format(", <b>{} outside the bounds</b>", outside) : std::string(),
                     unscaled ? fmt::format(", {} left at the game's size", unscaled) : std::string());
  if (bins.empty()) return out + "</div>\n";
  long first = bins.begin()->first, last = bins.rbegin()->first;
  if (low) first = std::min(first, std::lround(*low * 100));
  if (high) last = std::max(last, std::lround(*high * 100));
  first -= 1;
  last += 1;
  const long span = std::min(last - first + 1, 400L);  // a wild value must not make the page huge
  const double barWidth = std::clamp(420.0 / static_cast<double>(span), 1.0, 24.0);
  const double width = barWidth * static_cast<double>(span) + 40;
  const int most =
      std::max_element(bins.begin(), bins.end(), [](auto& a, auto& b) { return a.second < b.second; })->second;
  constexpr double kTop = 14, kPlot = 110;
  out += fmt::format("<svg width=\"{0:.0f}\" height=\"160\" viewBox=\"0 0 {0:.0f} 160\" role=\"img\">", width);
  const auto x = [&](double hundredths) { return 20 + (hundredths - static_cast<double>(first)) * barWidth; };
  for (const auto& [bin, citizens] : bins) {
    if (bin < first || bin >= first + span) continue;
    const double h = kPlot * citizens / most;
    const bool out_ = (low && bin < std::lround(*low * 100)) || (high && bin > std::lround(*high * 100));
    out += fmt::format(
        "<rect class=\"bin{}\" x=\"{:.1f}\" y=\"{:.1f}\" width=\"{:.1f}\" height=\"{:.1f}\"><title>{:.2f}: "
        "{}</title></rect>",
        out_ ? " out" : "", x(static_cast<double>(bin)), kTop + kPlot - h, std::max(barWidth - 1, 1.0), h,
        static_cast<double>(bin) / 100, citizens);
  }
  out += fmt::format("<line class=\"axis\" x1=\"20\" y1=\"{0}\" x2=\"{1:.1f}\" y2=\"{0}\"/>", kTop + kPlot, width - 20);
  for (const auto& [bound, name] : {std::pair{low, "min"}, std::pair{high, "max"}}) {
    if (!bound) continue;
    const double bx = x(*bound * 100) + barWidth / 2;
    out += fmt::format("<line class=\"bound\" x1=\"{0:.1f}\" y1=\"4\" x2=\"{0:.1f}\" y2=\"{1}\"/>", bx, kTop + kPlot);
    out += fmt::format("<text x=\"{:.1f}\" y=\"{}\" text-anchor=\"middle\">{} {:.2f}</text>", bx, kTop + kPlot + 14,
                       name, *bound);
  }
  out += fmt::format("<text x=\"20\" y=\"156\">{:.2f}</text>", static_cast<double>(first) / 100);
  out += fmt::format("<text x=\"{:.1f}\" y=\"156\" text-anchor=\"end\">{:.2f}</text>", width - 20,
                     static_cast<double>(first + span - 1) / 100);
  out += fmt::format("<text x=\"20\" y=\"10\">{} at most</text></svg></div>\n", most);
  return out;
}

// How often each form was drawn. Forms the game's list offers and nobody got are shown as never
// drawn; one drawn more than three times as often as its entries let one expect as dominant.
std::string DrawTable(const Json& report, const Json& city, const char* kind, const char* title, const char* used,
                      const char* listed) {
  std::map<std::string, int> drawn, entries;
  for (const auto& [id, n] : city[used].items()) drawn[id] = n.get<int>();
  if (listed)
    for (const auto& [id, n] : city[listed].items()) entries[id] = n.get<int>();
  std::vector<std::string> ids;
  for (const auto& [id, _] : drawn) ids.push_back(id);
  for (const auto& [id, _] : entries)
    if (!drawn.contains(id)) ids.push_back(id);
  int total = 0, totalEntries = 0;
  for (const auto& [_, n] : drawn) total += n;
  for (const auto& id : ids) totalEntries += listed ? entries[id] : 1;
  std::stable_sort(ids.begin(), ids.end(), [&](const auto& a, const auto& b) { return drawn[a] > drawn[b]; });
  std::string out = fmt::format("<div><h3>{}</h3>\n", title);
  if (ids.empty()) return out + "<p class=\"note\">None drawn.</p></div>\n";
  out += fmt::format("<table data-kind=\"{}\" data-total=\"{}\"><tr><th>form</th>{}<th>drawn</th><th></th></tr>\n",
                     kind, total, listed ? "<th>list entries</th>" : "");
  const int most = drawn.empty() ? 1 : std::max(1, std::max_element(drawn.begin(), drawn.end(), [](auto& a, auto& b) {
                                                     return a.second < b.second;
                                                   })->second);
  for (const auto& id : ids) {
    const int n = drawn[id];
    const double expected = totalEntries ? static_cast<double>(total) * (listed ? entries[id] : 1) / totalEntries : 0;
    const bool never = n == 0;
    const bool dominant = ids.size() > 1 && n > 3 * expected && n >= 5;
    out += fmt::format("<tr data-form=\"{}\" data-count=\"{}\"{}><td>{}</td>", EscapeHtml(id), n,
                       never      ? " class=\"never\""
                       : dominant ? " class=\"dominant\""
                                  : "",
                       FormLabel(report, id));
    if (listed) out += fmt::format("<td class=\"n\">{}</td>", entries[id]);
    out += fmt::format("<td class=\"n\">{}</td><td><span class=\"bar\" style=\"width:{:.1f}em\"></span> {}</td></tr>\n",
                       n, 12.0 * n / most,
                       never      ? "<span class=\"flag\">never drawn</span>"
                       : dominant ? "<span class=\"flag\">dominates</span>"
                                  : fmt::format("{}&#8239;%", total ? Percent(static_cast<double>(n) / total) : "0"));
  }
  return out + "</table></div>\n";
}

std::string NamesGiven(const Json& city) {
  const auto& names = city["namesGiven"];
  int given = 0, repeated = 0;
  for (const auto& [_, n] : names.items()) {
    given += n.get<int>();
    repeated += n.get<int>() > 1 ? 1 : 0;
  }
  std::string out = "<h3>Names given</h3>\n";
  const int citizens = static_cast<int>(city["citizens"].size());
  out +=
      fmt::format("<p data-names=\"{}\">{} of {} citizens named, {} distinct names{}.</p>\n", given, given, citizens,
                  names.size(), repeated ? fmt::format(", {} given more than once (in red)", repeated) : std::string());
  if (names.empty()) return out;
  out += "<p class=\"names\">";
  for (const auto& [name, n] : names.items()) {
    const int times = n.get<int>();
    out += times > 1 ? fmt::format("<span class=\"again\">{} &#215;{}</span>", EscapeHtml(name), times)
                     : fmt::format("<span>{}</span>", EscapeHtml(name));
  }
  return out + "</p>\n";
}

std::string CitySection(const Json& report, const Json& city) {
  const auto name = city["name"].get<std::string>();
  std::string out =
      fmt::format("<section id=\"city-{0}\" data-city=\"{0}\" data-citizens=\"{1}\" data-women=\"{2}\">\n",
                  EscapeHtml(name), city["citizens"].size(), city["women"].get<int>());
  out += fmt::format("<h2>{}</h2>\n", EscapeHtml(name));
  if (city["locationData"].is_null())
    out +=
        "<p class=\"note\">The data folder has no LocationData.ini for this city: the plug-in's defaults apply.</p>\n";
  out += ShareFigure(city);
  if (city["citizens"].empty()) return out + "</section>\n";
  out += "<div class=\"row\">" + HeightHistogram(city, true) + HeightHistogram(city, false) + "</div>\n";
  out += "<div class=\"row\">";
  out += DrawTable(report, city, "faces", "Faces", "facesUsed", "facesListed");
  out += DrawTable(report, city, "clothing", "Clothing", "clothingUsed", "clothingListed");
  out += "</div>\n<div class=\"row\">";
  out += DrawTable(report, city, "voices", "Voices", "voicesUsed", nullptr);
  out += DrawTable(report, city, "facialAnims", "Facial animations", "facialAnimsUsed", nullptr);
  out += "</div>\n";
  out += NamesGiven(city);
  return out + "</section>\n";
}

// Where the unique NPCs of one city stand, seen from above.
std::string NPCMap(const std::vector<const Json*>& npcs) {
  double minX = 1e30, maxX = -1e30, minY = 1e30, maxY = -1e30;
  for (const auto* npc : npcs) {
    const double px = (*npc)["position"][0].get<double>(), py = (*npc)["position"][1].get<double>();
    minX = std::min(minX, px), maxX = std::max(maxX, px), minY = std::min(minY, py), maxY = std::max(maxY, py);
  }
  const double span = std::max({maxX - minX, maxY - minY, 10.0});
  constexpr double kSize = 220, kMargin = 16;
  const auto sx = [&](double v) { return kMargin + (v - minX) / span * kSize; };
  const auto sy = [&](double v) { return kMargin + kSize - (v - minY) / span * kSize; };
  std::string out = fmt::format(
      "<svg width=\"{0}\" height=\"{1}\" viewBox=\"0 0 {0} {1}\" role=\"img\"><rect class=\"spot\" x=\"{2}\" "
      "y=\"{2}\" width=\"{3}\" height=\"{3}\"/>",
      kSize + 2 * kMargin + 160, kSize + 2 * kMargin + 14, kMargin, kSize);
  for (const auto* npc : npcs) {
    const double px = sx((*npc)["position"][0].get<double>()), py = sy((*npc)["position"][1].get<double>());
    out += fmt::format(
        "<circle class=\"npc\" cx=\"{:.1f}\" cy=\"{:.1f}\" r=\"4\"/><text x=\"{:.1f}\" y=\"{:.1f}\">{}</text>", px, py,
        px + 6, py + 4, Text((*npc)["name"], "(no name)"));
  }
  out += fmt::format("<text x=\"{}\" y=\"{}\">{:.0f} units across</text></svg>\n", kMargin, kSize + 2 * kMargin + 10,
                     span);
  return out;
}

std::string UniqueNPCSection(const Json& report) {
  const auto& npcs = report["uniqueNPCs"];
  std::string out =
      fmt::format("<section id=\"unique-npcs\" data-unique-npcs=\"{}\">\n<h2>Unique NPCs placed</h2>\n", npcs.size());
  if (npcs.empty()) return out + "<p class=\"note\">None was placed.</p></section>\n";
  out +=
      "<table><tr><th>name</th><th>city</th><th>encounter point</th><th>stands at (x, y, z)</th><th>appearance</th>"
      "<th>voice</th><th>facial animation</th><th>clothing</th><th>height</th></tr>\n";
  const auto form = [&](const Json& value) {
    return value.is_string() ? FormLabel(report, value.get<std::string>()) : std::string("-");
  };
  std::map<std::string, std::vector<const Json*>> byCity;
  for (const auto& npc : npcs) {
    const auto& p = npc["position"];
    out += fmt::format(
        "<tr data-form=\"{}\"><td>{}{}</td><td>{}</td><td>{}{}</td><td class=\"n\">{:.1f}, {:.1f}, "
        "{:.1f}</td><td>{}</td><td>{}</td><td>{}</td><td>{}</td><td class=\"n\">{:.2f}</td></tr>\n",
        Text(npc["formID"]), Text(npc["name"], "(no name)"),
        npc["deleted"].get<bool>() ? " <span class=\"flag\">deleted</span>" : "", Text(npc["city"]),
        npc["pointName"].is_string() ? Text(npc["pointName"]) + " " : "",
        npc["point"].is_string() ? "<span class=\"id\">" + Text(npc["point"]) + "</span>" : "-", p[0].get<double>(),
        p[1].get<double>(), p[2].get<double>(), form(npc["appearance"]), form(npc["voice"]), form(npc["facialAnim"]),
        form(npc["clothing"]), npc["scale"].get<double>());
    byCity[npc["city"].is_string() ? npc["city"].get<std::string>() : "(no city)"].push_back(&npc);
  }
  out += "</table>\n<div class=\"row\">";
  for (const auto& [city, placed] : byCity)
    out += fmt::format("<div><h3>In {}</h3>\n{}</div>", EscapeHtml(city), NPCMap(placed));
  return out + "</div></section>\n";
}

}  // namespace

std::string EscapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string FormatHtmlReport(const nlohmann::json& report) {
  std::string out = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
  out += "<title>Brindlewick: what the game drew from the data</title>\n<style>";
  out += kStyle;
  out += "</style>\n</head>\n<body>\n<h1>What the game drew from the data</h1>\n";
  std::size_t citizens = 0;
  for (const auto& city : report["cities"]) citizens += city["citizens"].size();
  out += fmt::format(
      "<p class=\"note\">{} citizens spawned in {} cities, {} unique NPCs placed. The plug-in {} loaded; its log: "
      "{}</p>\n",
      citizens, report["cities"].size(), report["uniqueNPCs"].size(),
      report["pluginLoaded"].get<bool>() ? "was" : "was <b>not</b>", Text(report["log"]));
  for (const auto& city : report["cities"]) out += CitySection(report, city);
  out += UniqueNPCSection(report);
  return out + "</body>\n</html>\n";
}

}  // namespace sim
