#pragma once
// Fresh identifiers of the form stem_N for layers, objects, parts and links.
#include <string>
#include <unordered_set>

// First stem_N (N = 1..99999) not in used; the bare stem when all are taken.
// The search restarts at 1 on every call so freed numbers are reused.
std::string FirstFreeId(const char* stem, const std::unordered_set<std::string>& used);
