/* Shared between the units of the configuration library; not installed. */
#ifndef UCI_INTERNAL_H
#define UCI_INTERNAL_H

#include <string>
#include <vector>

#include "uci.h"

struct uci_parse_context {
    const char *reason;
    int line;
    size_t byte;
};

namespace uci_impl {

int set_error(uci_context *ctx, int err, const char *func);
int parse_error(uci_context *ctx, const char *reason, int line, size_t byte);

/* Name rules: sections and options [A-Za-z0-9_], packages also '-', types any printable non-space. */
bool valid_name(const char *s);
bool valid_package(const char *s);
bool valid_type(const char *s);
bool valid_text(const char *s);

uci_package *package_alloc(uci_context *ctx, const char *name);
void package_free(uci_package *p);
uci_section *section_find(uci_package *p, const char *name);
uci_section *section_create(uci_package *p, const char *type, const char *name);
uci_option *option_find(uci_section *s, const char *name);
void option_set(uci_section *s, const char *name, const char *value, uci_option **res);
void option_add_list(uci_section *s, const char *name, const char *value, uci_option **res);
void option_del_list(uci_option *o, const char *value);
void element_delete(uci_element *e);
void element_rename(uci_element *e, const char *name);
void section_set_type(uci_section *s, const char *type);

/* Parses a package file; returns UCI_OK or sets ctx's parse error. */
int parse_package(uci_context *ctx, uci_package *p, const std::string &text);
/* Splits a delta file's text into statements; a quoted value may span lines. */
std::vector<std::string> delta_statements(const std::string &text);
/* Applies a delta file's text to p (bad lines are skipped); returns the number applied. */
int apply_deltas(uci_package *p, const std::string &text);
std::string export_package(uci_package *p, bool header, bool names);
std::string quote(const char *s);

}  // namespace uci_impl

#endif
