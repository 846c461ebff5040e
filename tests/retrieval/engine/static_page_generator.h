#pragma once

#include <QByteArray>
#include <cstdint>
#include <functional>

namespace quorvane::testing {

// The seed of page `index` of a run started from `runSeed`: any one page of a long run can be
// made again by itself.
std::uint64_t PageSeed(std::uint64_t runSeed, std::uint64_t index);

// A random page, in UTF-8, of the markup routers build their log pages from and nothing that runs
// script or brings style: log lines in <pre>, in <br> lines, in tables and text areas; nested
// blocks, lists, headings, rules, images, forms with hidden fields, selects; entities, every
// kind of white space and line end; tags left open, misnested or stray; comments; now and then
// a page cut off anywhere. A few pages hold markup the static path leaves to the engine, so that
// refusing it is exercised too. The same seed gives the same bytes on every machine.
QByteArray GenerateStaticPage(std::uint64_t seed);

// The Content-Type a router sends with the page of this seed: mostly one that names UTF-8, but
// also none at all (the page's <meta>, else windows-1252) and a Latin-1 label.
QByteArray GeneratedContentType(std::uint64_t seed);

// A smaller page for which `fails` still holds, found by removing whole tags and words first
// and single bytes last; `fails` is called at most `maxTries` times.
QByteArray ShrinkPage(QByteArray page, const std::function<bool(const QByteArray&)>& fails,
                      int maxTries);

}  // namespace quorvane::testing
