// Property list reading through libxml2's tree API; no network, no entity expansion.
#include "job_plist.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstring>
#include <memory>

namespace quillmoss::launchd {

namespace {

struct DocumentFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

bool named(const xmlNode* node, const char* name) {
  return node != nullptr && node->type == XML_ELEMENT_NODE &&
         std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

const xmlNode* nextElement(const xmlNode* node) {
  while (node != nullptr && node->type != XML_ELEMENT_NODE) node = node->next;
  return node;
}

struct XmlFree {
  void operator()(xmlChar* text) const { xmlFree(text); }
};

std::string textOf(const xmlNode* node) {
  std::unique_ptr<xmlChar, XmlFree> content(xmlNodeGetContent(node));
  return content ? std::string(reinterpret_cast<const char*>(content.get())) : std::string();
}

void ignoreMessages(void*, const char*, ...) {}

}  // namespace

std::optional<JobDescription> readJobPlist(const std::string& path, std::string& reason) {
  xmlSetGenericErrorFunc(nullptr, ignoreMessages);
  std::unique_ptr<xmlDoc, DocumentFree> doc(xmlReadFile(
      path.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
  if (!doc) {
    reason = "not a readable property list";
    return std::nullopt;
  }
  const xmlNode* root = xmlDocGetRootElement(doc.get());
  const xmlNode* dict = named(root, "plist") ? nextElement(root->children) : nullptr;
  if (!named(dict, "dict")) {
    reason = "the property list holds no dictionary";
    return std::nullopt;
  }

  JobDescription job;
  std::string program;
  bool hasArguments = false;
  for (const xmlNode* key = nextElement(dict->children); key != nullptr;) {
    const xmlNode* value = nextElement(key->next);
    if (!named(key, "key") || value == nullptr) {
      reason = "malformed dictionary";
      return std::nullopt;
    }
    const std::string name = textOf(key);
    if (name == "Label" && named(value, "string")) {
      job.label = textOf(value);
    } else if (name == "Program" && named(value, "string")) {
      program = textOf(value);
    } else if (name == "ProgramArguments" && named(value, "array")) {
      hasArguments = true;
      for (const xmlNode* item = nextElement(value->children); item != nullptr;
           item = nextElement(item->next)) {
        if (named(item, "string")) job.arguments.push_back(textOf(item));
      }
    } else if (name == "RunAtLoad") {
      job.runAtLoad = named(value, "true");
    } else if (name == "Disabled") {
      job.disabled = named(value, "true");
    } else if (name == "LimitLoadToSessionType" && named(value, "string")) {
      job.sessionType = textOf(value);
    }
    key = nextElement(value->next);
  }

  if (job.label.empty()) {
    reason = "no Label";
    return std::nullopt;
  }
  if (!program.empty()) {
    job.program = program;
    if (!hasArguments || job.arguments.empty()) job.arguments = {program};
  } else if (!job.arguments.empty() && !job.arguments.front().empty()) {
    job.program = job.arguments.front();
  } else {
    reason = "no Program or ProgramArguments";
    return std::nullopt;
  }
  return job;
}

}  // namespace quillmoss::launchd
