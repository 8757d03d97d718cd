#include "SFSE/Logger.h"

#include <windows.h>
#include <shlobj.h>

#include <memory>
#include <mutex>
#include <vector>

#include <spdlog/pattern_formatter.h>
#include <spdlog/sinks/base_sink.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>

#include "SFSE/Interfaces.h"
#include "Win/ModulePath.h"
#include "Win/Text.h"

namespace SFSE::log {
namespace {

constexpr GUID kDocumentsFolder = {0xFDD39AD0, 0x238F, 0x46AF, {0xAD, 0xB4, 0x6C, 0x85, 0x48, 0x03, 0x69, 0xC7}};
constexpr const char* kPattern = "[%Y-%m-%d %H:%M:%S.%f] [%n] [%l] [%s:%#] %v";

// Writes to the debugger only while one is attached, so a player's game pays nothing for it.
class DebuggerOutputSink final : public spdlog::sinks::base_sink<std::mutex> {
 protected:
  void sink_it_(const spdlog::details::log_msg& message) override {
    if (!IsDebuggerPresent()) return;
    spdlog::memory_buf_t formatted;
    formatter_->format(message, formatted);
    formatted.push_back('\0');
    OutputDebugStringA(formatted.data());
  }
  void flush_() override {}
};

// The name field of our own exported version record, read through the export table.
std::string PluginName() {
  auto* own = static_cast<HMODULE>(Win::ModuleOf(reinterpret_cast<const void*>(&PluginName)));
  const auto* record = reinterpret_cast<const PluginVersionData*>(GetProcAddress(own, "SFSEPlugin_Version"));
  return record ? std::string(record->pluginName, strnlen(record->pluginName, sizeof(record->pluginName)))
                : std::string("SFSEPlugin");
}

}  // namespace

std::optional<std::filesystem::path> log_directory() {
  wchar_t* documents = nullptr;
  if (FAILED(SHGetKnownFolderPath(kDocumentsFolder, KF_FLAG_DEFAULT, nullptr, &documents)) || !documents) {
    CoTaskMemFree(documents);
    return std::nullopt;
  }
  std::filesystem::path path(documents);
  CoTaskMemFree(documents);
  return path / L"My Games" / L"Starfield" / L"SFSE" / L"Logs";
}

void init() { init(log_directory()); }

void init(const std::optional<std::filesystem::path>& directory) {
  std::vector<spdlog::sink_ptr> sinks;
  std::filesystem::path file;
  std::string fileError;
  if (directory) {
    file = *directory / Win::FromUtf8(PluginName() + ".log");
    // A log that cannot be opened must not keep the plug-in from working: go on without the file.
    try {
      sinks.push_back(std::make_shared<spdlog::sinks::basic_file_sink_mt>(file.wstring(), true));
    } catch (const std::exception& error) {
      fileError = error.what();
    }
  }
  sinks.push_back(std::make_shared<DebuggerOutputSink>());

  auto logger = std::make_shared<spdlog::logger>("SFSE", sinks.begin(), sinks.end());
  logger->set_level(spdlog::level::info);
  logger->flush_on(spdlog::level::info);
  logger->set_formatter(
      std::make_unique<spdlog::pattern_formatter>(kPattern, spdlog::pattern_time_type::local, "\r\n"));
  spdlog::set_default_logger(std::move(logger));
  if (!directory) SPDLOG_ERROR("failed to get known folder path");
  if (!fileError.empty()) SPDLOG_ERROR("failed to open log file {}: {}", Win::ToUtf8(file.wstring()), fileError);
}

}  // namespace SFSE::log
