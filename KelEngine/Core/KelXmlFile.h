#pragma once
// Reading the engine's XML files: the texture-info files, image fonts and the GUI configuration.
//
// The bytes go to TinyXML unconverted, so names and IDs stay in the system's double-byte code
// page. TinyXML parses, and frees, nested elements recursively; the caller's work on the
// document usually recurses too. KelParseXml therefore runs all of it on a stack large enough
// for the document's possible nesting, so that a hostile file cannot exhaust the stack.

#include <functional>
#include <string>
#include <string_view>

class TiXmlDocument;

// Appends the whole file at a Windows-form path to `content`. False when it cannot be opened
// or an error occurs while reading.
bool KelReadXmlFile(const std::string& path, std::string& content);

// Parses the bytes (line ends made line feeds first, as TinyXML does when it reads a file
// itself; the parser stops at a NUL byte) and calls `use` with the document, whether or not it
// parsed: `use` checks the document's error state. Parsing, `use` and freeing the document all
// run on the same stack, on another thread when the document is large; what they throw reaches
// the caller either way. False, without calling `use`, only when no such thread could be
// started.
bool KelParseXml(std::string_view data, const std::function<void(TiXmlDocument&)>& use);
