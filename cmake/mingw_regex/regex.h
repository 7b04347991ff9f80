/* <regex.h> for building htslib with mingw-w64, whose C library has no POSIX
 * regular expressions (and Debian packages none for it). htslib uses them
 * only for the =~ and !~ operators of its filter expressions, which
 * snp_weight_genome never sets. Every pattern is refused, so a filter that
 * has one fails with a message instead of matching wrongly. */
#ifndef MINGW_REGEX_H
#define MINGW_REGEX_H

#include <stddef.h>
#include <string.h>

typedef struct {
  size_t re_nsub;
} regex_t;

typedef ptrdiff_t regoff_t;
typedef struct {
  regoff_t rm_so, rm_eo;
} regmatch_t;

#define REG_EXTENDED 1
#define REG_ICASE 2
#define REG_NOSUB 4
#define REG_NEWLINE 8

#define REG_NOMATCH 1
#define REG_BADPAT 2

static inline int regcomp(regex_t *preg, const char *pattern, int cflags) {
  (void)pattern;
  (void)cflags;
  preg->re_nsub = 0;
  return REG_BADPAT;
}

static inline int regexec(const regex_t *preg, const char *string, size_t nmatch, regmatch_t pmatch[],
                          int eflags) {
  (void)preg;
  (void)string;
  (void)nmatch;
  (void)pmatch;
  (void)eflags;
  return REG_NOMATCH;
}

static inline size_t regerror(int errcode, const regex_t *preg, char *errbuf, size_t errbuf_size) {
  static const char message[] = "regular expressions are not available in this Windows build";
  (void)errcode;
  (void)preg;
  if (errbuf_size > 0) {
    size_t n = sizeof message < errbuf_size ? sizeof message : errbuf_size;
    memcpy(errbuf, message, n - 1);
    errbuf[n - 1] = '\0';
  }
  return sizeof message;
}

/* regcomp() kept nothing to free; htslib calls this on a refused pattern too. */
static inline void regfree(regex_t *preg) { (void)preg; }

#endif
