#!/usr/bin/env python3
"""Turns the mariadb client's batch output of the customer statement into a line-protocol
file for tessimClientes: the same rows, the same 32 columns in the collector's order, each
value in the form its declared column type takes (int 'i', timestamps in microseconds 't',
doubles, quoted strings), nulls and zero dates left out, row time in nanoseconds.

    lines_from_tsv.py < statement-output.tsv > rows.lp

This is the ingest floor's input: written by the benchmark, not by the collector, so that
the floor measures QuestDB and curl alone.
"""
import datetime as dt
import sys
import time

# (column, position in the statement's select list, declared type); the 32nd column is the
# run timestamp.
COLUMNS = [
    ("idServico", 25, "INT"), ("idCliente", 0, "INT"), ("nomeCliente", 1, "STR"),
    ("cpf", 2, "STR"), ("cnpj", 3, "STR"), ("bairro", 4, "STR"), ("cidade", 5, "STR"),
    ("estado", 6, "STR"), ("statusCliente", 7, "INT"), ("ativo", 24, "INT"),
    ("dataInstalacao", 8, "TS"), ("dataCadastro", 9, "TS"), ("diaVencimento", 10, "INT"),
    ("dataRescisao", 11, "TS"), ("dataSuspensao", 12, "TS"), ("dataFinalFidelidade", 28, "TS"),
    ("motivoSuspensao", 13, "STR"), ("motivoRescisao", 27, "STR"), ("ruc", 29, "STR"),
    ("tipoPessoa", 30, "STR"), ("nomeEmpresa", 14, "STR"), ("nomePlano", 15, "STR"),
    ("valorPlano", 16, "DBL"), ("nomeVendedor", 17, "STR"), ("dataNascimento", 18, "TS"),
    ("titulosAtraso", 20, "INT"), ("valorAtraso", 21, "DBL"), ("dataAtraso", 22, "TS"),
    ("isento", 19, "INT"), ("dataVencimentoContrato", 23, "TS"),
    ("contratosSemAssinatura", 26, "STR"),
]
UNESCAPE = {"t": "\t", "n": "\n", "\\": "\\", "0": "\0"}
_micros_cache = {}


def unescape(v):
    if "\\" not in v:
        return v
    out, i = [], 0
    while i < len(v):
        c = v[i]
        if c == "\\" and i + 1 < len(v):
            out.append(UNESCAPE.get(v[i + 1], v[i + 1]))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def zero_date(v):
    """A date with a zero year, month or day ("0000-00-00", "2020-00-00") stands for none."""
    return v.startswith("0000") or v[4:8] == "-00-" or v[7:10] == "-00"


def micros(v):
    m = _micros_cache.get(v)
    if m is None:
        fmt = "%Y-%m-%d %H:%M:%S" if " " in v else "%Y-%m-%d"
        t = dt.datetime.strptime(v[:19], fmt)
        m = int(time.mktime(t.timetuple())) * 1000000
        _micros_cache[v] = m
    return m


def field(kind, v):
    if kind == "INT":
        return v + "i"
    if kind == "DBL":
        return repr(float(v))
    if kind == "TS":
        return "%dt" % micros(v)
    s = unescape(v).replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n")
    return '"' + s.replace("\r", "\\r") + '"'


def main():
    run_ts = int(time.time() * 1000000)
    row_time = time.time_ns()
    out = sys.stdout
    buf = []
    for line in sys.stdin:
        vals = line.rstrip("\n").split("\t")
        parts = []
        for name, pos, kind in COLUMNS:
            v = vals[pos]
            if v == "NULL" or (kind == "TS" and zero_date(v)):
                continue
            parts.append(name + "=" + field(kind, v))
        parts.append("timestamp=%dt" % run_ts)
        row_time += 1000
        buf.append("tessimClientes " + ",".join(parts) + " %d\n" % row_time)
        if len(buf) >= 10000:
            out.write("".join(buf))
            buf.clear()
    out.write("".join(buf))


if __name__ == "__main__":
    main()
