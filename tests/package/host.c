/*
 * A host built against the installed velto package, the way a user's
 * program is built: it includes <velto.h> from the system's include folder
 * and links -lvelto, through pkg-config or through find_package(velto)
 * (scripts/test-package.sh builds it both ways).
 *
 *   velto_package_host TARGET STATUS
 *
 * Writes STATUS with a manuscript-page layout (20 x 20, UTF-8, no temporary
 * file), calls GetStatus(TARGET, STATUS) and prints what it returned and the
 * status file it left. Exit status 0 when GetStatus returned 0.
 */
#include <stdio.h>

#include <velto.h>

static int WriteSettings(const char *path) {
  FILE *file = fopen(path, "w");
  if (file == NULL) return 0;
  fputs("[GetStatus]\nLineLength=20\nPageLength=20\nCharSet=6\nTemporary=\n", file);
  return fclose(file) == 0;
}

static void PrintFile(const char *path) {
  char line[512];
  FILE *file = fopen(path, "r");
  if (file == NULL) return;
  while (fgets(line, sizeof line, file) != NULL) fputs(line, stdout);
  fclose(file);
}

int main(int argc, char **argv) {
  int result;
  if (argc != 3) {
    fprintf(stderr, "usage: %s TARGET STATUS\n", argv[0]);
    return 2;
  }
  if (!WriteSettings(argv[2])) {
    fprintf(stderr, "cannot write %s\n", argv[2]);
    return 2;
  }
  result = GetStatus(argv[1], argv[2]);
  printf("GetStatus returned %d\n", result);
  PrintFile(argv[2]);
  return result == 0 ? 0 : 1;
}
