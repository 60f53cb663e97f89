// SPDX-License-Identifier: MIT
#include "office/server/server.h"

#include <unistd.h>

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "office/server/engine.h"
#include "platform/error.h"
#include "platform/folder.h"

namespace office {

using automation::AutomationError;
using automation::ObjectPtr;
using automation::Variant;

namespace {

// Objects are numbered from 1 (the root) in the order they are first handed out, and kept for the
// life of the server so that a number always means the same object.
class ObjectTable {
 public:
    explicit ObjectTable(ObjectPtr root) { idOf(root); }

    std::int64_t idOf(const ObjectPtr& object) {
        auto found = m_ids.find(object.get());
        if (found != m_ids.end()) {
            return found->second;
        }
        m_objects.push_back(object);
        const auto id = static_cast<std::int64_t>(m_objects.size());
        m_ids.emplace(object.get(), id);
        return id;
    }

    ObjectPtr objectFor(std::int64_t id) const {
        if (id < 1 || id > static_cast<std::int64_t>(m_objects.size())) {
            throw AutomationError("The object was not found in the office engine.");
        }
        return m_objects[static_cast<std::size_t>(id - 1)];
    }

 private:
    std::vector<ObjectPtr> m_objects;
    std::map<const automation::AutomationObject*, std::int64_t> m_ids;
};

nlohmann::json answer(ObjectTable& table, const nlohmann::json& request) {
    const auto member = request.find("member");
    const auto object = request.find("object");
    const auto kind = request.find("kind");
    if (member == request.end() || !member->is_string() || object == request.end() ||
        !object->is_number_integer() || kind == request.end() || !kind->is_string()) {
        throw AutomationError("The office engine received a request it does not understand.");
    }
    const auto objectFor = [&table](std::int64_t id) { return table.objectFor(id); };
    std::vector<Variant> positional;
    if (auto args = request.find("args"); args != request.end() && args->is_array()) {
        for (const auto& value : *args) {
            positional.push_back(wire::decode(value, objectFor));
        }
    }
    automation::NamedArguments named;
    if (auto args = request.find("named"); args != request.end() && args->is_object()) {
        for (const auto& [name, value] : args->items()) {
            named.emplace_back(name, wire::decode(value, objectFor));
        }
    }
    const ObjectPtr target = table.objectFor(object->get<std::int64_t>());
    const std::string& what = kind->get_ref<const std::string&>();
    Variant result;
    if (what == "get") {
        result = target->get(member->get<std::string>());
    } else if (what == "call") {
        result = target->call(member->get<std::string>(), positional, named);
    } else if (what == "put" && positional.size() == 1 && named.empty()) {
        target->put(member->get<std::string>(), positional[0]);
    } else {
        throw AutomationError("The office engine received a request it does not understand.");
    }
    return wire::encode(result, [&table](const ObjectPtr& value) { return table.idOf(value); });
}

}  // namespace

bool sendHello(wire::Channel& channel, const std::optional<std::string>& error) {
    nlohmann::json hello{{"protocol", wire::kProtocolVersion}, {"server", "pavendel-office"}};
    if (error) {
        hello["error"] = *error;
    } else {
        hello["root"] = wire::kRootObject;
    }
    return channel.send(hello);
}

void serve(wire::Channel& channel, const ObjectPtr& root, const std::function<bool()>& finished) {
    ObjectTable table(root);
    for (;;) {
        nlohmann::json request;
        if (channel.receive(request, std::nullopt) != wire::ReadStatus::Message) {
            return;
        }
        // A request of the wrong shape still gets an answer (with id 0, which no request of
        // the client has), never an exception that would end the server.
        const auto id = request.find("id");
        nlohmann::json reply{
            {"id", id != request.end() && id->is_number_integer() ? id->get<std::int64_t>() : 0}};
        try {
            // The folder the program holds open for a SaveAs: while the request is answered, a
            // save into its path goes into that folder.
            const int descriptor = channel.takeDescriptor();
            std::optional<platform::FolderInUse> folder;
            const auto path = request.find("folder");
            if (const std::optional<std::string> named =
                    path != request.end() ? wire::decodeText(*path) : std::nullopt;
                named && descriptor >= 0) {
                try {
                    folder.emplace(std::make_shared<const platform::Folder>(descriptor, *named));
                } catch (const platform::SystemError&) {
                    // Not a folder: the save goes by the path alone.
                }
            } else if (descriptor >= 0) {
                ::close(descriptor);
            }
            reply["value"] = answer(table, request);
        } catch (const ClientGone&) {
            return;
        } catch (const AutomationError& error) {
            reply["error"] = wire::encodeText(error.description());
            if (error.number() != 0) {
                reply["number"] = error.number();
            }
        } catch (const std::exception& error) {
            reply["error"] = std::string("The office engine failed: ") + error.what();
        }
        if (!channel.send(reply) || finished()) {
            return;
        }
    }
}

}  // namespace office
