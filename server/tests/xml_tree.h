// A small element tree for checking the service's replies in tests.
#pragma once

#include <expat.h>

#include <memory>
#include <map>
#include <string>
#include <vector>

namespace testxml {

struct Node {
    std::string name, text;
    std::map<std::string, std::string> attrs;
    std::vector<std::unique_ptr<Node>> children;

    // The first child of that name, or null.
    const Node* Child(const std::string& n) const {
        for (const auto& c : children)
            if (c->name == n) return c.get();
        return nullptr;
    }
    std::vector<const Node*> All(const std::string& n) const {
        std::vector<const Node*> out;
        for (const auto& c : children)
            if (c->name == n) out.push_back(c.get());
        return out;
    }
    // The text of the child of that name; "<missing>" when there is none.
    std::string Text(const std::string& n) const {
        const Node* c = Child(n);
        return c ? c->text : "<missing>";
    }
};

// The document's root, or null when it is not well-formed.
inline std::unique_ptr<Node> Parse(const std::string& xml) {
    struct State {
        std::unique_ptr<Node> root;
        std::vector<Node*> stack;
    } st;
    XML_Parser p = XML_ParserCreate(nullptr);
    XML_SetUserData(p, &st);
    XML_SetElementHandler(
        p,
        [](void* u, const XML_Char* name, const XML_Char** attrs) {
            auto& s = *static_cast<State*>(u);
            auto node = std::make_unique<Node>();
            node->name = name;
            for (size_t i = 0; attrs[i]; i += 2) node->attrs[attrs[i]] = attrs[i + 1];
            Node* raw = node.get();
            if (s.stack.empty()) s.root = std::move(node);
            else s.stack.back()->children.push_back(std::move(node));
            s.stack.push_back(raw);
        },
        [](void* u, const XML_Char*) { static_cast<State*>(u)->stack.pop_back(); });
    XML_SetCharacterDataHandler(p, [](void* u, const XML_Char* t, int len) {
        auto& s = *static_cast<State*>(u);
        if (!s.stack.empty()) s.stack.back()->text.append(t, static_cast<size_t>(len));
    });
    const bool ok = XML_Parse(p, xml.data(), static_cast<int>(xml.size()), XML_TRUE) == XML_STATUS_OK;
    XML_ParserFree(p);
    return ok ? std::move(st.root) : nullptr;
}

}  // namespace testxml
