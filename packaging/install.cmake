# Install rules and packages (CPack): a Debian package and a .tar.gz on
# Linux, a .zip on Windows. `cmake --workflow --preset package` (Linux) or
# `--preset package-windows` builds them in build/package*/.
include(GNUInstallDirs)

set(example_files example/SNP_positions.txt example/gene_regions.txt)
set(documents doc/building.md doc/result-file.md doc/speed.md)

if(WIN32)
  # The zip holds the executables, the README and the examples side by side.
  install(TARGETS snp_weight RUNTIME DESTINATION .)
  install(FILES README.md DESTINATION .)
  install(FILES ${documents} DESTINATION doc)
  install(FILES ${example_files} DESTINATION example)
  if(SNP_WEIGHT_GENOME)
    install(TARGETS snp_weight_genome RUNTIME DESTINATION .)
    install(DIRECTORY example/genome DESTINATION example)
  endif()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
else()
  # Debian package names take no underscore: the package is snp-weight, and
  # its documentation folder must bear that name.
  set(doc_dir "${CMAKE_INSTALL_DATADIR}/doc/snp-weight")
  set(commands snp_weight)
  if(SNP_WEIGHT_GENOME)
    list(APPEND commands snp_weight_genome)
    install(DIRECTORY example/genome DESTINATION "${doc_dir}/example")
  endif()
  install(TARGETS ${commands} RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
  install(FILES README.md packaging/copyright DESTINATION "${doc_dir}")
  install(FILES ${documents} DESTINATION "${doc_dir}/doc")
  install(FILES ${example_files} DESTINATION "${doc_dir}/example")

  # Manual pages and changelog, compressed as Debian wants them (gzip -9n:
  # no name or time stamp, so the bytes are reproducible).
  find_program(GZIP_PROGRAM gzip REQUIRED)
  set(compressed changelog.gz)
  add_custom_command(OUTPUT changelog.gz
    COMMAND "${GZIP_PROGRAM}" -9n -c "${PROJECT_SOURCE_DIR}/packaging/changelog" > changelog.gz
    DEPENDS packaging/changelog VERBATIM)
  foreach(command IN LISTS commands)
    configure_file(doc/${command}.1.in ${command}.1 @ONLY)
    add_custom_command(OUTPUT ${command}.1.gz
      COMMAND "${GZIP_PROGRAM}" -9n -c ${command}.1 > ${command}.1.gz
      DEPENDS "${CMAKE_CURRENT_BINARY_DIR}/${command}.1" VERBATIM)
    list(APPEND compressed ${command}.1.gz)
    install(FILES "${CMAKE_CURRENT_BINARY_DIR}/${command}.1.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
  endforeach()
  add_custom_target(compressed_docs ALL DEPENDS ${compressed})
  install(FILES "${CMAKE_CURRENT_BINARY_DIR}/changelog.gz" DESTINATION "${doc_dir}")

  set(CPACK_GENERATOR DEB TGZ)
  # Hardened like Debian's own packages (lintian checks for it).
  target_compile_definitions(snp_weight_core PRIVATE _FORTIFY_SOURCE=2)
  target_compile_definitions(snp_weight_phases PRIVATE _FORTIFY_SOURCE=2)
  target_link_options(snp_weight PRIVATE -Wl,-z,relro,-z,now)
  if(SNP_WEIGHT_GENOME)
    target_compile_definitions(snp_weight_genome_phases PRIVATE _FORTIFY_SOURCE=2)
    target_compile_definitions(snp_weight_genome PRIVATE _FORTIFY_SOURCE=2)
    target_link_options(snp_weight_genome PRIVATE -Wl,-z,relro,-z,now)
  endif()
endif()

set(CPACK_PACKAGE_NAME snp_weight)
set(CPACK_PACKAGE_VENDOR "snp_weight developers")
set(CPACK_PACKAGE_CONTACT "snp_weight developers <snp-weight@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "weights SNPs by whether they lie inside a gene region")
set(CPACK_RESOURCE_FILE_README "${PROJECT_SOURCE_DIR}/README.md")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY "${CMAKE_BINARY_DIR}/packages")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_NAME snp-weight)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "snp_weight reads a list of SNPs (SNP_positions.txt: name, position) and a
list of gene regions (gene_regions.txt: three text fields, start, end)
from the current directory, and writes weight.txt: each SNP's name with
the weight 0.8 when its position lies inside at least one region, ends
included, and 0.4 otherwise.

It compares every SNP with every region on the widest vector unit the CPU
has, and replaces weight.txt without losing the old one or its metadata.

snp_weight_genome gives the same weights straight from VCF, BCF, PLINK,
BED, GTF and GFF3 files, by the regions of each SNP's own chromosome, for
any number of SNPs.")

include(CPack)
