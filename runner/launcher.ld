/* Three sections, so that the headers fit in one 512-byte block:
   .text  code, constants and the import tables: readable and executable,
          never writable (the loader unprotects the import address table
          while it binds it);
   .bss   the static buffers: writable, not executable, no bytes on disk;
   .rsrc  the manifest and the version information. */
SECTIONS
{
  . = SIZEOF_HEADERS;
  . = ALIGN(__section_alignment__);
  .text __image_base__ + __section_alignment__ :
  {
    *(.text) *(SORT(.text$*)) *(.text.*)
    *(.rdata) *(SORT(.rdata$*))
    /* Without an output section of their own, the import tables are found
       through these four symbols, which hold relative virtual addresses. */
    ".idata$2" = ABSOLUTE(.) - __image_base__;
    KEEP (SORT(*)(.idata$2))
    KEEP (SORT(*)(.idata$3))
    /* The empty descriptor that ends the import directory. */
    LONG (0); LONG (0); LONG (0); LONG (0); LONG (0);
    . = ALIGN(8);
    ".idata$4" = ABSOLUTE(.) - __image_base__;
    KEEP (SORT(*)(.idata$4))
    ".idata$5" = ABSOLUTE(.) - __image_base__;
    SORT(*)(.idata$5)
    ".idata$6" = ABSOLUTE(.) - __image_base__;
    KEEP (SORT(*)(.idata$6))
    KEEP (SORT(*)(.idata$7))
  }
  .bss BLOCK(__section_alignment__) :
  {
    *(.data) *(SORT(.data$*)) *(.bss) *(SORT(.bss$*)) *(COMMON)
  }
  .rsrc BLOCK(__section_alignment__) : SUBALIGN(4)
  {
    KEEP (*(.rsrc)) KEEP (*(.rsrc$*))
  }
  .reloc BLOCK(__section_alignment__) :
  {
    *(.reloc)
  }
  /DISCARD/ :
  {
    *(.drectve) *(.note.GNU-stack) *(.gnu.lto_*) *(.comment) *(.debug*)
  }
}
