#!/usr/bin/python3
"""Runs over the bundled example: the -vtk output read by VTK and meshio against the zone-format plot
files (beside -fe), and the -history file by Python's csv module.

    /usr/bin/python3 check_readers.py PRINTZONE EXAMPLES_DIR
"""
import csv, os, re, shutil, subprocess, sys, tempfile, unittest
import xml.etree.ElementTree as ET
from pathlib import Path

import meshio
import numpy as np
from vtkmodules.util.numpy_support import vtk_to_numpy
from vtkmodules.vtkCommonCore import vtkOutputWindow, vtkStringOutputWindow
from vtkmodules.vtkCommonDataModel import vtkCompositeDataSet
from vtkmodules.vtkIOXML import vtkXMLMultiBlockDataReader, vtkXMLUnstructuredGridReader

CELL_TYPE = {1: (1, "vertex"), 2: (3, "line"), 3: (5, "triangle"), 4: (9, "quad")}  # by distinct corners
TIMES = [86400.0, 864000.0, 8640000.0]


def edit(change):
    return lambda d: Path(d, "example.out").write_text(change(Path(d, "example.out").read_text()))


cut = edit(lambda t: "".join(t.splitlines(True)[:121]))  # ends inside printout 3's first table
# An element without a position read first: the plot's element 1 is the mesh's 13th.
UNLOCATED = "B1  1" + " " * 45 + "-0.999E+03-0.999E+03 0.000E+00\n"
unlocated_first = lambda d: Path(d, "MESH").write_text(Path(d, "MESH").read_text().replace("ELEME\n", "ELEME\n" + UNLOCATED))


def names_and_tiny_value(d):
    # Whole and repeated names, K(L) (a coordinate to VTK's reader), -104 exponents, a printout without tables.
    edit(lambda t: t.replace(" SG ", " P  ").replace("SL         X(WAT1)", "XAIR(G)    XAIR(L)")
         .replace("PER.MOD.", "Perm Mod").replace(" T   ", " K(L)").replace("0.10100E+06", "0.10100-104", 1)
         + " TOTAL TIME     KCYC\n -0.25E-02     90\n")(d)
    unlocated_first(d)


RUNS = [  # what, printout file, options, change to the example, times, exit status (zone format, -vtk)
    ("collinear points: vertex cells", "example.out", ["-xz"], None, TIMES, (0, 0)),
    ("wanted columns, 3-D points, no cells", "example.out", ["-w", "wanted", "-xyz"], None, TIMES, (0, 0)),
    ("triangles, lines, vertices, an empty zone, XML in a title", "example.out", ["-yz", "-z", "shapes"],
     lambda d: Path(d, "shapes").write_text(
         " A1  1 A1  2 A2  2 A2  2\n A2  2 A2  3 A2  3 A2  2\nZONE t=\"a <point> & more\", I=3\n"
         " A3  3 A3  3 A3  3 A3  3\nzone empty\nzone last\n A1  1 A3  4 A1  4 A1  1\n"), TIMES, (0, 0)),
    ("plane of the smallest extent, printout file elsewhere, name lower-cased", "Out/Example.OUT", [],
     lambda d: os.renames(Path(d, "example.out"), Path(d, "Out/Example.OUT")), TIMES, (0, 0)),
    ("whole column names, repeated ones, printout without tables", "example.out", ["-xy"], names_and_tiny_value,
     TIMES + [-0.0025], (0, 0)),
    ("an element without a position read first, zone file", "example.out", ["-z", "zones"], unlocated_first,
     TIMES, (0, 0)),
    ("cut file, -partial", "example.out", ["-partial"], cut, TIMES, (0, 0)),
    ("zone file, a zone grid that cannot be created", "example.out", ["-z", "zones"],
     lambda d: os.mkdir(Path(d, "example.out.2_2.vtu")), TIMES[:1], (0, 30)),
]

# The arrays of printout 1: element-table columns by their whole names, vectors by their short ones.
ARRAYS = {"whole column names, repeated ones, printout without tables":
          ["P", "K(L)", "P_2", "XAIR(G)", "XAIR(L)", "Perm Mod", "FLOH", "FGAS", "FAQ.", "VGAS", "element"]}
BLOCKS = {"zones": ["lower row", "upper row"], "shapes": ["Zone", "a <point> & more", "zone last"]}  # by zone file


def number(field):
    """A field of the zone format, whose three-digit exponents have no letter."""
    return float(re.sub(r"(?<=\d)([+-]\d{3})$", r"E\1", field))


def read_zone_plot(path):
    """Coordinate names, value names, zones (title, values by point, cells)."""
    lines = Path(path).read_text().splitlines()
    names = lines[0].removeprefix("Variables = ").split()
    nc = 3 if [n.upper() for n in names[1:3]] == ["Y", "Z"] else 2
    zones, i = [], 1
    while i < len(lines) and lines[i]:  # (the example's points take a line each)
        m = re.fullmatch(r"(.*?) F=(?:FE)?POINT I=\s*(\d+)(?: J=\s*(\d+))?", lines[i])
        npts, ncells, i = int(m[2]), int(m[3] or 0), i + 1
        zones.append((m[1], np.array([[number(f) for f in line.split()] for line in lines[i:i + npts]]),
                      [[int(k) for k in line.split()] for line in lines[i + npts:i + npts + ncells]]))
        i += npts + ncells
    return names[:nc], names[nc:], zones


def read_with(reader, path):
    """The output of a VTK reader, which must say nothing while reading."""
    vtkOutputWindow.SetInstance(messages := vtkStringOutputWindow())
    r = reader()
    r.SetFileName(str(path))
    r.Update()
    assert messages.GetOutput() == "" and r.GetErrorCode() == 0, messages.GetOutput()
    return r.GetOutput()


def element_records(d):
    return Path(d, "MESH").read_text().split("\n\n")[0].splitlines()[1:]


def grid_contents(g):
    """Points, cells, cell types and [(name, array)] of a grid VTK read."""
    pts = vtk_to_numpy(g.GetPoints().GetData()) if g.GetNumberOfPoints() else np.zeros((0, 3))
    cells = [[g.GetCell(c).GetPointId(k) for k in range(g.GetCell(c).GetNumberOfPoints())]
             for c in range(g.GetNumberOfCells())]
    pd = g.GetPointData()
    return (pts, cells, [g.GetCellType(c) for c in range(g.GetNumberOfCells())],
            [(pd.GetArrayName(k), vtk_to_numpy(pd.GetArray(k))) for k in range(pd.GetNumberOfArrays())])


class Runs(unittest.TestCase):
    def test_runs_over_the_example(self):
        for what, *run in RUNS:
            with self.subTest(what), tempfile.TemporaryDirectory(prefix="printzone-vtk-") as d:
                self.check_run(d, *run, arrays=ARRAYS.get(what))

    def check_run(self, d, printout, options, change, times, status, arrays):
        """-fe -vtk ends and prints as the zone format, leaves what the .pvd lists and a .dat beside each."""
        shutil.copytree(EXAMPLES, d, dirs_exist_ok=True)
        if change:
            change(d)
        run = lambda vtk: subprocess.run([PRINTZONE] + vtk + options + [printout], cwd=d, text=True,
                                         capture_output=True, stdin=subprocess.DEVNULL)
        folder, stem, zones = Path(d, printout).parent, Path(printout).name.lower(), "-z" in options
        plain = run([])
        before = set(os.listdir(folder))
        plots = {f: (folder / f).read_bytes() for f in before if re.fullmatch(re.escape(stem) + r"\.\d+", f)}
        vtk = run(["-fe", "-vtk"])
        self.assertEqual((plain.returncode, vtk.returncode), status, vtk.stderr)
        if status[0] == status[1]:
            self.assertEqual((vtk.stdout, vtk.stderr), (plain.stdout, plain.stderr))
        root = ET.parse(folder / (stem + ".pvd")).getroot()
        self.assertEqual((root.tag, root.get("type")), ("VTKFile", "Collection"))
        entries = [(e.get("file"), float(e.get("timestep"))) for e in root.iter("DataSet")]
        self.assertEqual(entries, [("%s.%d.%s" % (stem, n, "vtm" if zones else "vtu"), t)
                                   for n, t in enumerate(times, 1)])
        written = {stem + ".pvd"} | {file for file, _ in entries}
        mesh = [(0.0, 0.0, 0.0)] + [tuple(float(r[k:k + 10]) for k in (50, 60, 70)) for r in element_records(d)]
        for n, (file, t) in enumerate(entries, 1):
            coords, names, zone_list = read_zone_plot(folder / ("%s.%d" % (stem, n)))
            if zones:  # a block per zone, named by its title alone
                mb = read_with(vtkXMLMultiBlockDataReader, folder / file)
                blocks = [b.get("file") for b in ET.parse(folder / file).getroot().iter("DataSet")]
                self.assertEqual(blocks, ["%s.%d_%d.vtu" % (stem, n, k) for k in range(1, len(zone_list) + 1)])
                grids = [(mb.GetBlock(k), folder / block) for k, block in enumerate(blocks)]
                self.assertEqual([mb.GetMetaData(k).Get(vtkCompositeDataSet.NAME()) for k in range(
                    mb.GetNumberOfBlocks())], BLOCKS[options[options.index("-z") + 1]])
                written.update(blocks)
            else:
                grids = [(read_with(vtkXMLUnstructuredGridReader, folder / file), folder / file)]
            self.assertEqual(len(grids), len(zone_list))
            for (g, path), (_, values, cells) in zip(grids, zone_list):
                got = self.compare(g, path, t, coords, names, values, cells, mesh)
                if n == 1 and arrays:
                    self.assertEqual(got, arrays)
            written.add("%s.%d.dat" % (stem, n))
        self.assertEqual(set(os.listdir(folder)) - before, written)  # no temporary or stray file
        self.assertEqual({f: (folder / f).read_bytes() for f in plots}, plots)

    def compare(self, g, path, time, coords, names, values, cells, mesh):
        """A grid against a zone: the value columns in order (a vector NAME for NAMEx, NAMEy), then
        "element", each point's place in MESH. Returns the array names."""
        pts, got_cells, types, arrays = grid_contents(g)
        self.assertEqual(arrays[-1][0], "element")
        places = arrays[-1][1]
        self.assertEqual((places.dtype, len(set(places))), (np.int32, len(places)))
        axes = ["xyz".index(c.lower()) for c in coords]
        self.assertEqual(pts[:, :len(axes)].tolist(), [[mesh[p][a] for a in axes] for p in places])
        all_arrays, arrays = arrays, arrays[:-1]
        self.assertEqual(g.GetFieldData().GetArray("TimeValue").GetValue(0), time)
        nc, header, columns = len(coords), list(coords), [pts]
        for name, a in arrays:
            a, name_in_header = a if a.ndim == 2 else a[:, None], names[len(header) - nc]
            base = name_in_header if a.shape[1] == 1 else name_in_header[:-1]
            if a.shape[1] == 3:  # a scalar has its whole column name (ARRAYS)
                self.assertRegex(name, "^%s(_[0-9]+)?$" % re.escape(base))
            header += [base] if a.shape[1] == 1 else [base + c.lower() for c in coords]
            columns.append(a)
        self.assertEqual((header, len({n for n, _ in arrays})), (coords + names, len(arrays)))
        self.assertTrue(all(np.all(c[:, nc:] == 0) for c in columns if c.shape[1] == 3))  # 0 off the plane
        table = np.hstack([c[:, :nc] if c.shape[1] == 3 else c for c in columns])
        self.assertEqual([[float("%.6E" % v) for v in row] for row in table], values.tolist())
        want = [list(dict.fromkeys(k - 1 for k in c)) for c in cells] or [[k] for k in range(len(values))]
        self.assertEqual((got_cells, types), (want, [CELL_TYPE[len(c)][0] for c in want]))
        m = meshio.read(path)  # and meshio reads the same
        self.assertTrue(np.array_equal(m.points, pts) and list(m.point_data) == [n for n, _ in all_arrays]
                        and all(np.array_equal(m.point_data[n], a) for n, a in all_arrays), path)
        self.assertEqual(sorted((b.type, row.tolist()) for b in m.cells for row in b.data),
                         sorted((CELL_TYPE[len(c)][1], c) for c in want))
        return [n for n, _ in all_arrays]

    def test_history_against_the_grids(self):
        """-history beside -vtk: each csv row holds the element's values in its printout's grid, to the bit."""
        for plane in ["-xy", "-xyz"]:
            with self.subTest(plane), tempfile.TemporaryDirectory(prefix="printzone-history-") as d:
                shutil.copytree(EXAMPLES, d, dirs_exist_ok=True)
                names_and_tiny_value(d)
                Path(d, "wells").write_text("A3  4\nA1  1\n")
                run = subprocess.run([PRINTZONE, "-q", "-vtk", "-history", "wells", plane, "example.out"], cwd=d,
                                     text=True, capture_output=True, stdin=subprocess.DEVNULL)
                self.assertEqual(run.returncode, 0, run.stderr)
                self.assertRegex(run.stderr, r"^printzone: warning: printout 4: it has 3 columns where printout 1 has ")
                with open(Path(d, "example.out.history.csv"), newline="") as f:
                    header, *rows = list(csv.reader(f))
                places = {r[:5]: k for k, r in enumerate(element_records(d), 1)}
                coords = plane[1:]
                for printout, time, element, *values in rows:
                    g = read_with(vtkXMLUnstructuredGridReader, Path(d, "example.out.%s.vtu" % printout))
                    _, _, _, arrays = grid_contents(g)
                    point = list(arrays[-1][1]).index(places[element])
                    self.assertEqual(float(time), g.GetFieldData().GetArray("TimeValue").GetValue(0))
                    names, want = [], []
                    for n, a in arrays[:-1]:  # a vector by its plotted components
                        names += [n] if a.ndim == 1 else [n + "_" + c for c in coords]
                        want += [a[point]] if a.ndim == 1 else list(a[point, :len(coords)])
                    self.assertEqual((header[3:], [float(v) for v in values]), (names, want))
                self.assertEqual([(r[0], r[2]) for r in rows], [(n, e) for n in "123" for e in ("A3  4", "A1  1")])


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    PRINTZONE, EXAMPLES = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    unittest.main(argv=[sys.argv[0], "-v"] + sys.argv[3:])
