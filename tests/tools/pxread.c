/* Reads a Paradox table with pxlib, an independent reader, and prints every
 * record as tab-separated values, so tests can check that files we wrote are
 * read the same way elsewhere. Text is printed as stored (code page bytes). */
#include <paradox.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: pxread TABLE.DB\n");
        return 2;
    }
    PX_boot();
    pxdoc_t* doc = PX_new();
    if (!doc || PX_open_file(doc, argv[1]) < 0) {
        fprintf(stderr, "pxread: cannot open %s\n", argv[1]);
        return 1;
    }
    int fields = PX_get_num_fields(doc);
    int records = PX_get_num_records(doc);
    pxfield_t* f = PX_get_fields(doc);
    for (int i = 0; i < fields; ++i) printf("%s%s", i ? "\t" : "", f[i].px_fname);
    printf("\n");
    char* data = malloc((size_t)PX_get_recordsize(doc));
    for (int r = 0; r < records; ++r) {
        if (!PX_get_record(doc, r, data)) {
            fprintf(stderr, "pxread: cannot read record %d\n", r);
            return 1;
        }
        int offset = 0;
        for (int i = 0; i < fields; ++i) {
            char* p = data + offset;
            int len = f[i].px_flen;
            if (i) printf("\t");
            char* s = NULL;
            double d;
            long l;
            short sh;
            char b;
            switch (f[i].px_ftype) {
            case pxfAlpha:
                if (PX_get_data_alpha(doc, p, len, &s) > 0 && s) { printf("%s", s); doc->free(doc, s); }
                break;
            case pxfShort:
                if (PX_get_data_short(doc, p, len, &sh) > 0) printf("%d", sh);
                break;
            case pxfLong: case pxfAutoInc: case pxfDate: case pxfTime:
                if (PX_get_data_long(doc, p, len, &l) > 0) printf("%ld", l);
                break;
            case pxfNumber: case pxfCurrency: case pxfTimestamp:
                if (PX_get_data_double(doc, p, len, &d) > 0) printf("%.15g", d);
                break;
            case pxfLogical:
                if (PX_get_data_byte(doc, p, len, &b) > 0) printf("%s", b ? "true" : "false");
                break;
            case pxfBCD:
                if (PX_get_data_bcd(doc, (unsigned char*)p, f[i].px_fdc, &s) > 0 && s) { printf("%s", s); doc->free(doc, s); }
                break;
            default:
                printf("?");
            }
            offset += len;
        }
        printf("\n");
    }
    free(data);
    PX_close(doc);
    PX_delete(doc);
    PX_shutdown();
    return 0;
}
