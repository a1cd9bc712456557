// The configuration parser on any text: it gives a tree or raises EngineError, nothing else. A
// tree it gives is written out and read again unchanged, and each of its nodes is found by its
// own path.

#include "FuzzCheck.h"

#include "engine/base/EngineError.h"
#include "engine/config/ConfigTree.h"

#include <string>

using wk::engine::ConfigTree;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = wk::fuzz::text(data, size);
    ConfigTree tree;
    try {
        tree = ConfigTree::parse(text, "input.cfg");
    } catch (const wk::engine::EngineError& e) {
        if (e.code() != wk::engine::ErrorCode::Corrupt)
            wk::fuzz::failure(
                std::string("a text that cannot be read is not reported as damaged: ") + e.what());
        return 0;
    }

    for (const wk::engine::ConfigNode& node : tree.nodes()) {
        if (tree.findNode(node.path) != &node)
            wk::fuzz::failure("node " + wk::fuzz::shown(node.path) +
                              " is not found by its own path");
        for (const wk::engine::ConfigEntry& entry : node.entries)
            if (!tree.get(node.path, entry.name))
                wk::fuzz::failure("entry " + wk::fuzz::shown(entry.name) + " of node " +
                                  wk::fuzz::shown(node.path) + " is not found by its own name");
    }

    const std::string written = tree.serialize();
    std::string again;
    try {
        again = ConfigTree::parse(written, "written.cfg").serialize();
    } catch (const wk::engine::EngineError& e) {
        wk::fuzz::failure(std::string("a written tree cannot be read: ") + e.what() + "\ninput: " +
                          wk::fuzz::shown(text) + "\nwritten: " + wk::fuzz::shown(written));
    }
    if (again != written)
        wk::fuzz::failure("a tree read back differs\ninput: " + wk::fuzz::shown(text) +
                          "\nwritten: " + wk::fuzz::shown(written) +
                          "\nread back and written: " + wk::fuzz::shown(again));
    return 0;
}
