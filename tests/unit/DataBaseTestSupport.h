#pragma once
// What the database tests share: the builder's line prefixes and a known set of plug-in files.
#include <string>

#include "GameForms.h"

inline const std::string kInfo = "info|[BuildDataBase] ", kWarn = "warning|[BuildDataBase] ",
                         kError = "error|[BuildDataBase] ";

inline std::string Begin(const std::string& file, const std::string& city) {
  return kInfo + "beginning to process file '" + file + "' for location [" + city + "] at i (0)...";
}

// Starfield.esm, Other.esm (full), CityFolk.esl (small, FE/5) and Tailors.esm (medium, FD/2).
inline void ResetPlugins() {
  sim::ClearPluginFiles();
  sim::AddPluginFile("Starfield.esm", 1, 0);
  sim::AddPluginFile("Other.esm", 1, 2);
  sim::AddPluginFile("CityFolk.esl", 2, 0xFE, 5);
  sim::AddPluginFile("Tailors.esm", 3, 0xFD, 2);
}
