#!/usr/bin/python3
"""Reads the -vtk output of printzone with real readers and holds it against
the zone-format plot files of the same run.

    /usr/bin/python3 check_readers.py PRINTZONE EXAMPLES_DIR

Every case is run twice in a scratch directory, once writing the zone format
and once with -vtk; both runs must print the same and end the same. Each
.vtu (and .vtm) is read with VTK's XML readers and, where meshio can read
it, with meshio too; the .pvd is parsed as XML, as ParaView's reader does.
Points, cells and their types, array names and every value must agree with
the zone-format files (values within the 7 digits those are written with).
With ParaView's Python module present, the .pvd also goes through its reader.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

import meshio
import numpy as np
from vtkmodules.util.numpy_support import vtk_to_numpy
from vtkmodules.vtkCommonDataModel import vtkCompositeDataSet
from vtkmodules.vtkIOXML import vtkXMLMultiBlockDataReader, vtkXMLUnstructuredGridReader

PRINTZONE = EXAMPLES = None

VERTEX, LINE, TRIANGLE, QUAD = 1, 3, 5, 9
TYPE_OF_CORNERS = {1: VERTEX, 2: LINE, 3: TRIANGLE, 4: QUAD}
MESHIO_TYPE = {VERTEX: "vertex", LINE: "line", TRIANGLE: "triangle", QUAD: "quad"}


# ---- the zone format -------------------------------------------------------

def e14(field):
    """A (1p,e14.6) field; a three-digit exponent has no letter."""
    f = field.strip()
    if "E" not in f:
        f = re.sub(r"(\d)([+-]\d+)$", r"\1E\2", f)
    return float(f)


def read_zone_plot(path):
    """Coordinate names, value names and zones: (title, points, cells), each
    point the list of its numbers, each cell its four point numbers."""
    with open(path) as f:
        lines = f.read().split("\n")
    assert lines[0].startswith("Variables = "), lines[0]
    names = lines[0][len("Variables = "):].split(" ")
    coords = 3 if len(names) > 2 and names[2] in ("Z", "z") and names[1] in ("Y", "y") else 2
    zones, i = [], 1
    while i < len(lines) and lines[i]:
        m = re.match(r"^(.*?) F=(FEPOINT|POINT) I=\s*(\d+)(?: J=\s*(\d+))?$", lines[i])
        assert m, lines[i]
        title, npts, ncell = m.group(1), int(m.group(3)), int(m.group(4) or 0)
        i += 1
        points = []
        for _ in range(npts):
            numbers = []
            while len(numbers) < len(names):  # a record runs on after 100 numbers
                numbers += [e14(lines[i][k:k + 14]) for k in range(0, len(lines[i]), 14)]
                i += 1
            points.append(numbers)
        cells = []
        for _ in range(ncell):
            cells.append([int(lines[i][k:k + 6]) for k in range(0, 24, 6)])
            i += 1
        zones.append((title, points, cells))
    return names[:coords], names[coords:], zones


def rounded(v):
    """v as the zone format writes it: 7 significant digits."""
    return float("%.6E" % v)


# ---- the VTK files ---------------------------------------------------------

def read_vtu(path):
    r = vtkXMLUnstructuredGridReader()
    r.SetFileName(path)
    r.Update()
    assert r.GetErrorCode() == 0, path
    return r.GetOutput()


def grid_contents(g):
    """Points, cells (lists of corner indexes), cell types, [(name, array)]."""
    points = vtk_to_numpy(g.GetPoints().GetData()) if g.GetNumberOfPoints() else np.zeros((0, 3))
    cells, types = [], []
    for c in range(g.GetNumberOfCells()):
        ids = g.GetCell(c).GetPointIds()
        cells.append([ids.GetId(k) for k in range(ids.GetNumberOfIds())])
        types.append(g.GetCellType(c))
    pd = g.GetPointData()
    arrays = [(pd.GetArrayName(k), vtk_to_numpy(pd.GetArray(k))) for k in range(pd.GetNumberOfArrays())]
    return points, cells, types, arrays


def unique(bases):
    """Names made unique: a repeated name gets the first free _2, _3, ..."""
    taken, names = set(), []
    for b in bases:
        name, k = b, 2
        while name in taken:
            name, k = "%s_%d" % (b, k), k + 1
        taken.add(name)
        names.append(name)
    return names


class Checks(unittest.TestCase):
    maxDiff = None

    def run_case(self, directory, args, status=0):
        """Runs the zone format and -vtk on the same input; both must end
        alike. Returns the -vtk run."""
        plain = subprocess.run([PRINTZONE] + args, cwd=directory, capture_output=True, text=True,
                               stdin=subprocess.DEVNULL)
        vtk = subprocess.run([PRINTZONE, "-vtk"] + args, cwd=directory, capture_output=True, text=True,
                             stdin=subprocess.DEVNULL)
        self.assertEqual(plain.returncode, status, plain.stderr)
        self.assertEqual((vtk.returncode, vtk.stdout, vtk.stderr), (plain.returncode, plain.stdout, plain.stderr))
        return vtk

    def compare_grid(self, g, coords, value_names, points, cells, meshio_path=None):
        """One grid against one zone of the zone format."""
        vpoints, vcells, vtypes, arrays = grid_contents(g)
        self.assertEqual(len(vpoints), len(points))
        nc = len(coords)
        for p, numbers in zip(vpoints, points):
            self.assertEqual([rounded(v) for v in p[:nc]], numbers[:nc])
            if nc == 2:
                self.assertEqual(p[2], 0.0)
        if cells:
            want = []
            for c in cells:
                distinct = []
                for k in c:
                    if k - 1 not in distinct:
                        distinct.append(k - 1)
                want.append(distinct)
            self.assertEqual(vcells, want)
            self.assertEqual(vtypes, [TYPE_OF_CORNERS[len(c)] for c in want])
        else:
            self.assertEqual(vcells, [[k] for k in range(len(points))])
            self.assertEqual(set(vtypes), {VERTEX} if points else set())

        # Each array covers the next value columns of the header: a scalar
        # one, named as there; a vector one per coordinate, named NAME plus
        # the coordinate letter, its third component 0 in a plane.
        column, bases = nc, []
        for name, a in arrays:
            width = 1 if a.ndim == 1 else nc
            self.assertEqual(a.shape, (len(points),) if width == 1 else (len(points), 3), name)
            header = value_names[column - nc:column - nc + width]
            if width == 1:
                bases.append(header[0])
                got = [[rounded(v)] for v in a]
            else:
                base = header[0][:-1]
                self.assertEqual(header, [base + c.lower() for c in coords], name)
                bases.append(base)
                if nc == 2:
                    self.assertTrue(np.all(a[:, 2] == 0), name)
                got = [[rounded(v) for v in row[:nc]] for row in a]
            self.assertEqual(got, [numbers[column:column + width] for numbers in points], name)
            column += width
        self.assertEqual(column, nc + len(value_names))
        self.assertEqual([n for n, _ in arrays], unique(bases))

        if meshio_path:
            m = meshio.read(meshio_path)
            self.assertTrue(np.array_equal(m.points, vpoints))
            self.assertEqual(list(m.point_data), [n for n, _ in arrays])
            for name, a in arrays:
                self.assertTrue(np.array_equal(m.point_data[name], a), name)
            got = sorted((b.type, row.tolist()) for b in m.cells for row in b.data)
            self.assertEqual(got, sorted((MESHIO_TYPE[t], c) for t, c in zip(vtypes, vcells)))

    def check_series(self, directory, printout_file, times, zones=False):
        """The collection file and every file it lists, against the zone
        format plot files of the run."""
        stem = os.path.join(os.path.dirname(printout_file),
                            os.path.basename(printout_file).lower())
        root = ET.parse(os.path.join(directory, stem + ".pvd")).getroot()
        self.assertEqual((root.tag, root.get("type")), ("VTKFile", "Collection"))
        entries = root.find("Collection").findall("DataSet")
        self.assertEqual([float(e.get("timestep")) for e in entries], times)
        for n, entry in enumerate(entries, start=1):
            base = os.path.basename(stem) + ".%d" % n
            self.assertEqual(entry.get("file"), base + (".vtm" if zones else ".vtu"))
            path = os.path.join(directory, os.path.dirname(stem), entry.get("file"))
            coords, value_names, zone_list = read_zone_plot(os.path.join(directory, stem + ".%d" % n))
            if not zones:
                self.assertEqual(len(zone_list), 1)
                g = read_vtu(path)
                self.assertEqual(g.GetFieldData().GetArray("TimeValue").GetValue(0), times[n - 1])
                _, pts, cells = zone_list[0]
                self.compare_grid(g, coords, value_names, pts, cells, path)
                continue
            r = vtkXMLMultiBlockDataReader()
            r.SetFileName(path)
            r.Update()
            mb = r.GetOutput()
            self.assertEqual(mb.GetNumberOfBlocks(), len(zone_list))
            vtm = ET.parse(path).getroot().find("vtkMultiBlockDataSet").findall("DataSet")
            for k, (title, pts, cells) in enumerate(zone_list):
                self.assertEqual(mb.GetMetaData(k).Get(vtkCompositeDataSet.NAME()), title)
                block_file = os.path.join(os.path.dirname(path), vtm[k].get("file"))
                self.assertEqual(vtm[k].get("file"), "%s_%d.vtu" % (base, k + 1))
                self.compare_grid(mb.GetBlock(k), coords, value_names, pts, cells, block_file)
        if shutil.which("pvpython"):
            self.check_with_paraview(os.path.join(directory, stem + ".pvd"), times)
        return entries

    def check_with_paraview(self, pvd, times):
        """ParaView's own collection reader: the times, and every step read."""
        script = os.path.join(os.path.dirname(pvd), "pv_check.py")
        with open(script, "w") as f:
            f.write("import sys\nfrom paraview import servermanager\nfrom paraview.simple import PVDReader\n"
                    "r = PVDReader(FileName=sys.argv[1])\nr.UpdatePipelineInformation()\n"
                    "t = r.TimestepValues\nt = list(t) if hasattr(t, '__len__') else [t]\n"
                    "n = []\nfor v in t:\n    r.UpdatePipeline(v)\n"
                    "    n.append(servermanager.Fetch(r).GetNumberOfPoints())\n"
                    "print('TIMES', *[repr(v) for v in t])\nprint('POINTS', *n)\n")
        out = subprocess.run(["pvpython", script, pvd], capture_output=True, text=True, timeout=600)
        os.remove(script)
        self.assertEqual(out.returncode, 0, out.stderr)
        lines = dict(l.split(" ", 1) for l in out.stdout.splitlines() if l.startswith(("TIMES ", "POINTS ")))
        # ParaView shows a series of one file without time steps.
        if len(times) > 1:
            self.assertEqual([float(v) for v in lines["TIMES"].split()], sorted(times))  # in time order
            self.assertTrue(all(int(n) > 0 for n in lines["POINTS"].split()))


# ---- inputs ----------------------------------------------------------------

def element(name, x, y, z=0.0):
    return "%-5.5s%45s%10.4f%10.4f%10.4f" % (name, "", x, y, z)


def connection(a, b, area=1.0):
    return "%-5.5s%-5.5s%40s%10.4f" % (a, b, "", area)


def mesh_file(elements, connections):
    return "ELEME\n" + "".join(e + "\n" for e in elements) + "\nCONNE\n" + \
        "".join(c + "\n" for c in connections) + "+++\n"


TERMINATOR = " @@@@@@@@@@@@@@@@@@@@"


def element_table(columns, rows, width=13):
    """rows: (name, [values]); each value right-aligned under its name."""
    out = [" ELEM.  INDEX" + "".join("%*s" % (width, c) for c in columns)]
    for i, (name, values) in enumerate(rows, start=1):
        out.append(" %-5s%7d" % (name, i) + "".join("%*.*E" % (width, width - 8, v) for v in values))
    return out + [TERMINATOR]


def connection_table(columns, rows):
    out = [" ELEM1 ELEM2 INDEX" + "".join("%13s" % c for c in columns)]
    for i, (a, b, values) in enumerate(rows, start=1):
        out.append(" %-5s %-5s%6d" % (a, b, i) + "".join("%13.5E" % v for v in values))
    return out + [TERMINATOR]


def printout(values_line, *tables):
    lines = [" TOTAL TIME     KCYC", values_line]
    for t in tables:
        lines += t
    return "\n".join(lines) + "\n"


def grid_name(i, j):
    return "%s%d%3d" % (chr(65 + j // 10), j % 10, i)


def value(k):
    """Deterministic values over many magnitudes and both signs."""
    return (-1) ** k * (1 + (k * 7919 % 1000) / 1000.0) * 10.0 ** (k % 11 - 5)


class Scratch:
    def __enter__(self):
        self.path = tempfile.mkdtemp(prefix="printzone-vtk-")
        return self

    def __exit__(self, *exc):
        shutil.rmtree(self.path)

    def write(self, name, text):
        with open(os.path.join(self.path, name), "w") as f:
            f.write(text)


# ---- cases -----------------------------------------------------------------

class BundledExample(Checks):
    """The bundled example in every form the README shows."""

    times = [86400.0, 864000.0, 8640000.0]

    def example(self, scratch):
        for f in os.listdir(EXAMPLES):
            shutil.copy(os.path.join(EXAMPLES, f), scratch.path)

    def test_options(self):
        # Automatic (XY), 3-D points, XZ (collinear points: no faces), wanted list.
        for args in (["example.out"], ["-xyz", "example.out"], ["-xz", "example.out"],
                     ["-w", "wanted", "-xyz", "example.out"]):
            with self.subTest(args=args), Scratch() as s:
                self.example(s)
                self.run_case(s.path, args)
                self.check_series(s.path, "example.out", self.times)

    def test_zone_file(self):
        with Scratch() as s:
            self.example(s)
            self.run_case(s.path, ["-z", "zones", "example.out"])
            self.check_series(s.path, "example.out", self.times, zones=True)

    def test_printout_file_in_another_directory(self):
        # The collection and its files go beside the printout file, its name
        # lower-cased; the files listed are relative to the collection.
        with Scratch() as s:
            self.example(s)
            os.mkdir(os.path.join(s.path, "Out"))
            shutil.move(os.path.join(s.path, "example.out"), os.path.join(s.path, "Out", "Example.OUT"))
            self.run_case(s.path, ["-xy", "Out/Example.OUT"])
            self.check_series(s.path, "Out/Example.OUT", self.times)


class PreparedCases(Checks):
    def test_large_grid_with_vectors(self):
        # 60 x 50 elements: arrays of many base64 blocks; vectors of both
        # kinds; the second values line starts with a word that is no number.
        nx, ny = 60, 50
        names = {(i, j): grid_name(i, j) for i in range(1, nx + 1) for j in range(ny)}
        elements = [element(names[i, j], 10.0 * i, 7.5 * j, 1.0) for j in range(ny) for i in range(1, nx + 1)]
        conns = []
        for j in range(ny):
            for i in range(1, nx + 1):
                if i < nx:
                    conns.append((names[i, j], names[i + 1, j], 1 + (i + j) % 3))
                if j + 1 < ny:
                    conns.append((names[i, j], names[i, j + 1], 2.0))
        with Scratch() as s:
            s.write("MESH", mesh_file(elements, [connection(*c) for c in conns]))
            k = iter(range(10 ** 9))
            body = []
            for values_line in (" 0.31557E+08  12", " after  13"):
                body.append(printout(
                    values_line,
                    element_table(["P", "T", "X(WAT1)"],
                                  [(names[i, j], [value(next(k)) for _ in range(3)]) for j in range(ny)
                                   for i in range(1, nx + 1)]),
                    connection_table(["FLO(GAS)", "VEL(GAS)"],
                                     [(a, b, [value(next(k)), value(next(k))]) for a, b, _ in conns])))
            s.write("Grid.Out", "".join(body))
            self.run_case(s.path, ["-xy", "Grid.Out"])
            self.check_series(s.path, "Grid.Out", [31557000.0, 2.0])
            self.run_case(s.path, ["-xyz", "Grid.Out"])
            self.check_series(s.path, "Grid.Out", [31557000.0, 2.0])

    def test_repeated_names_and_printout_without_tables(self):
        mesh = mesh_file([element("A1  1", 0, 0), element("A1  2", 1, 0), element("A2  1", 0, 1),
                          element("A2  2", 1, 1)],
                         [connection("A1  1", "A1  2"), connection("A1  1", "A2  1"),
                          connection("A1  2", "A2  2"), connection("A2  1", "A2  2")])
        rows = lambda n: [(e, [value(n + k) for k in range(4)]) for e in ("A1  1", "A1  2", "A2  1", "A2  2")]
        conn_rows = [("A1  1", "A1  2", [1.0, 2.0]), ("A2  1", "A2  2", [3.0, -4.0])]
        with Scratch() as s:
            s.write("MESH", mesh)
            # P, T, P_2 and then P again; FGAS from FLO(GAS), then from the
            # element column FGAS and the connection column FGAS.
            s.write("n.out", printout(" 1.5D2 first", element_table(["P", "T", "P_2", "FGAS"], rows(0)),
                                      element_table(["P"], [(e, v[:1]) for e, v in rows(9)]),
                                      connection_table(["FLO(GAS)", "FGAS"], conn_rows))
                    + printout(" -2.5E-3"))
            self.run_case(s.path, ["-xy", "n.out"])
            entries = self.check_series(s.path, "n.out", [150.0, -0.0025])
            g = read_vtu(os.path.join(s.path, entries[0].get("file")))
            pd = g.GetPointData()
            self.assertEqual([pd.GetArrayName(k) for k in range(pd.GetNumberOfArrays())],
                             ["P", "T", "P_2", "FGAS", "P_3", "FGAS_2", "FGAS_3"])
            self.assertEqual(read_vtu(os.path.join(s.path, entries[1].get("file"))).GetPointData()
                             .GetNumberOfArrays(), 0)

    def test_tables_past_the_slot_capacity(self):
        # 119 slots in tables of 20 columns named alike; a vector table that
        # would take two more is dropped, and so are its names.
        elements = ("A1  1", "A1  2", "A2  1")
        with Scratch() as s:
            s.write("MESH", mesh_file([element(e, x, y) for e, x, y in zip(elements, (0, 1, 0), (0, 0, 1))],
                                      [connection("A1  1", "A1  2"), connection("A1  1", "A2  1")]))
            tables = [element_table(["C%d" % c for c in range(1, n + 1)],
                                    [(e, [value(t * 20 + c + k) for c in range(n)]) for k, e in enumerate(elements)],
                                    width=10)
                      for t, n in enumerate((20, 20, 20, 20, 20, 19))]
            s.write("o.out", printout(" 1", *tables, connection_table(["FLO"], [("A1  1", "A1  2", [1.0])]),
                                      element_table(["Q"], [("A1  1", [1.0])])))
            self.run_case(s.path, ["-xy", "o.out"])
            self.check_series(s.path, "o.out", [1.0])
            pd = read_vtu(os.path.join(s.path, "o.out.1.vtu")).GetPointData()
            self.assertEqual(pd.GetNumberOfArrays(), 119)
            self.assertEqual([pd.GetArrayName(k) for k in (0, 19, 20, 118)], ["C1", "C20", "C1_2", "C19_6"])

    def test_triangles_lines_and_vertices(self):
        # A triangle of three elements traced as a cell with a repeated
        # corner; then a zone file whose lines repeat corners.
        mesh = mesh_file([element("T1  1", 0, 0), element("T1  2", 2, 0), element("T1  3", 1, 2),
                          element("T1  4", 3, 2)],
                         [connection("T1  1", "T1  2"), connection("T1  2", "T1  3"),
                          connection("T1  3", "T1  1"), connection("T1  2", "T1  4"),
                          connection("T1  4", "T1  3")])
        table = element_table(["P"], [("T1  %d" % k, [k * 1.5]) for k in range(1, 5)])
        with Scratch() as s:
            s.write("MESH", mesh)
            s.write("t.out", printout(" 3.0", table))
            self.run_case(s.path, ["-xy", "t.out"])
            self.check_series(s.path, "t.out", [3.0])
            types = {read_vtu(os.path.join(s.path, "t.out.1.vtu")).GetCellType(c) for c in range(2)}
            self.assertEqual(types, {TRIANGLE})
            s.write("zones", "\n".join([" T1  1 T1  2 T1  3 T1  4", " T1  1 T1  2 T1  2 T1  3",
                                        "ZONE degenerate", " T1  4 T1  4 T1  3 T1  3",
                                        " T1  2 T1  2 T1  2 T1  2", "zone empty", "zone last",
                                        " T1  3 T1  1 T1  4 T1  1"]) + "\n")
            self.run_case(s.path, ["-yz", "-z", "zones", "t.out"])
            self.check_series(s.path, "t.out", [3.0], zones=True)

    def test_planar_mesh_without_faces(self):
        # A chain: no face, so every point is a vertex cell.
        with Scratch() as s:
            s.write("MESH", mesh_file([element("C1  %d" % k, k, 0) for k in range(1, 4)],
                                      [connection("C1  1", "C1  2"), connection("C1  2", "C1  3")]))
            s.write("c.out", printout(" 7", connection_table(["VEL"], [("C1  1", "C1  2", [2.0])])))
            self.run_case(s.path, ["-xy", "c.out"])
            self.check_series(s.path, "c.out", [7.0])


class Failures(Checks):
    def test_failure_inside_a_printout_keeps_the_series_written(self):
        mesh = mesh_file([element("A1  1", 0, 0), element("A1  2", 1, 0)], [connection("A1  1", "A1  2")])
        table = element_table(["P"], [("A1  1", [1.0]), ("A1  2", [2.0])])
        with Scratch() as s:
            s.write("MESH", mesh)
            # The second printout ends inside its table: end of file, 24.
            s.write("f.out", printout(" 1.0", table) + printout(" 2.0", table[:-1]))
            self.run_case(s.path, ["-xy", "f.out"], status=24)
            self.check_series(s.path, "f.out", [1.0])
            vtk_files = lambda: sorted(f for f in os.listdir(s.path)
                                       if f.startswith(".") or f.endswith((".vtu", ".vtm", ".pvd")))
            self.assertEqual(vtk_files(), ["f.out.1.vtu", "f.out.pvd"])
            # A zone file of the second printout that cannot be created (a
            # directory of its name) fails it, 30, and leaves neither its
            # multiblock nor its other zone files.
            s.write("f.out", printout(" 1.0", table) + printout(" 2.0", table))
            s.write("zones", " A1  1 A1  2 A1  2 A1  1\nzone two\n A1  2 A1  1 A1  1 A1  1\n")
            for f in vtk_files():
                os.remove(os.path.join(s.path, f))
            os.mkdir(os.path.join(s.path, "f.out.2_2.vtu"))
            plain = subprocess.run([PRINTZONE, "-z", "zones", "f.out"], cwd=s.path, capture_output=True,
                                   stdin=subprocess.DEVNULL)
            self.assertEqual(plain.returncode, 0)
            r = subprocess.run([PRINTZONE, "-vtk", "-z", "zones", "f.out"], cwd=s.path, capture_output=True,
                               text=True, stdin=subprocess.DEVNULL)
            self.assertEqual(r.returncode, 30, r.stderr)
            self.check_series(s.path, "f.out", [1.0], zones=True)
            self.assertEqual(vtk_files(), ["f.out.1.vtm", "f.out.1_1.vtu", "f.out.1_2.vtu", "f.out.2_2.vtu",
                                           "f.out.pvd"])


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    PRINTZONE, EXAMPLES = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    unittest.main(argv=[sys.argv[0], "-v"] + sys.argv[3:])
