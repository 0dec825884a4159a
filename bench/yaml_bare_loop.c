/* libyaml's event loop and nothing else, as one process per file: the floor that the cost oracle
 * (scripts/grammar_gen.py oracle --bare) holds the check's CPU time against. It reads the whole
 * file into memory, as the check does, sets it as libyaml's input in UTF-8, and parses events
 * until the end of the stream or the first error, deleting each one. It needs nothing but
 * libyaml, so it still builds while the core does not, and measures libyaml alone; for the
 * check's own reading of the file next to the same loop see bench/yaml_stream_driver.cpp.
 *
 * Build it against the libyaml of a CMake build directory BUILD (any build type; the static
 * library is built as a dependency of solvarinth-check), so that it parses with exactly the
 * library the check does: `python3 scripts/grammar_gen.py bare --build BUILD`, or by hand
 *
 *     cc -O2 -DYAML_DECLARE_STATIC -Ithird_party/libyaml/include bench/yaml_bare_loop.c \
 *         BUILD/libsolvarinth_yaml.a -o BUILD/yaml_bare_loop
 *
 * with -IBUILD/libyaml-0.2.5/include instead where the build compiled a patched copy of libyaml
 * (a patch may rename functions by macros in its header).
 *
 * Usage: yaml_bare_loop PATH. Prints the number of events (or libyaml's error) on standard
 * output; exit status 0 at the end of the stream, 1 on a parser error, 2 when the file cannot be
 * read or memory runs out.
 */
#include <yaml.h>

#include <stdio.h>
#include <stdlib.h>

static unsigned char *read_all(const char *path, size_t *size) {
    FILE *file = fopen(path, "rb");
    if (!file) return NULL;
    size_t capacity = 1 << 16, used = 0;
    unsigned char *data = malloc(capacity);
    while (data) {
        used += fread(data + used, 1, capacity - used, file);
        if (used < capacity) break;
        unsigned char *grown = realloc(data, capacity * 2);
        if (!grown) {
            free(data);
            data = NULL;
            break;
        }
        data = grown;
        capacity *= 2;
    }
    if (data && ferror(file)) {
        free(data);
        data = NULL;
    }
    fclose(file);
    *size = used;
    return data;
}

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s PATH\n", argv[0]);
        return 2;
    }
    size_t size = 0;
    unsigned char *text = read_all(argv[1], &size);
    if (!text) {
        perror(argv[1]);
        return 2;
    }
    yaml_parser_t parser;
    if (!yaml_parser_initialize(&parser)) {
        free(text);
        return 2;
    }
    yaml_parser_set_input_string(&parser, text, size);
    yaml_parser_set_encoding(&parser, YAML_UTF8_ENCODING);
    unsigned long long events = 0;
    int status = 0;
    for (;;) {
        yaml_event_t event;
        if (!yaml_parser_parse(&parser, &event)) {
            status = parser.error == YAML_MEMORY_ERROR ? 2 : 1;
            break;
        }
        const int end = event.type == YAML_STREAM_END_EVENT;
        yaml_event_delete(&event);
        ++events;
        if (end) break;
    }
    if (status)
        printf("%llu events, then: %s at line %lu column %lu\n", events,
               parser.problem ? parser.problem : "error", (unsigned long)parser.problem_mark.line + 1,
               (unsigned long)parser.problem_mark.column + 1);
    else
        printf("%llu events\n", events);
    yaml_parser_delete(&parser);
    free(text);
    return status;
}
