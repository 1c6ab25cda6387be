#!/usr/bin/python3
"""-xyz -vtk -fe over a block grid of unequal layers, a missing block and a boundary element: VTK and
meshio read back the boxes (hexahedra of positive volume over the right elements) and slice them.

    /usr/bin/python3 check_volumes.py PRINTZONE
"""
import os, subprocess, sys, tempfile, unittest
from itertools import product
from pathlib import Path

import meshio
import numpy as np
from vtkmodules.util.numpy_support import vtk_to_numpy
from vtkmodules.vtkCommonDataModel import vtkPlane
from vtkmodules.vtkFiltersCore import vtkCutter
from vtkmodules.vtkFiltersVerdict import vtkMeshQuality
from vtkmodules.vtkIOGeometry import vtkTecplotReader
from vtkmodules.vtkIOXML import vtkXMLUnstructuredGridReader

from check_readers import read_with

XS, YS, ZS = [0, 10, 20, 35, 50], [0, 10, 25, 30], [0, -2, -6, -12]  # layers of unequal thickness
MISSING = (2, 1, 1)
HUB = (25.0, 15.0, 50.0)  # a boundary element above, tied to the top layer
HEX, VERTEX = 12, 1


def name(i, j, k):
    return "%s%d%3d" % ("ABCD"[k], j + 1, i + 1)


def pressure(x, y, z):
    return 1.0e5 + 3 * x + 2 * y + 5 * z  # linear: exact at any point of an axis-aligned box


def fortran(v):  # 0.ddddddE+xx
    m, e = ("%.5E" % abs(v)).split("E")
    return "%s0.%s%sE%+03d" % ("-" if v < 0 else "", m[0], m[2:], int(e) + 1) if v else "0.000000E+00"


def write_case(d):
    # (x running fastest, z going down: each box's corners turned to have a positive volume)
    cells = [(i, j, k) for k in range(len(ZS)) for j in range(len(YS)) for i in range(len(XS)) if (i, j, k) != MISSING]
    centre = {c: (XS[c[0]], YS[c[1]], ZS[c[2]]) for c in cells}
    rows = ["ELEME"] + ["%-5s%45s%10.4f%10.4f%10.4f" % (name(*c), "", *centre[c]) for c in cells]
    rows.append("%-5s%45s%10.4f%10.4f%10.4f" % ("ATM 1", "", *HUB))
    rows += ["", "CONNE"]
    for (i, j, k), (di, dj, dk) in product(product(range(len(XS)), range(len(YS)), range(len(ZS))),
                                           [(1, 0, 0), (0, 1, 0), (0, 0, 1)]):
        a, b = (i, j, k), (i + di, j + dj, k + dk)
        if b[0] < len(XS) and b[1] < len(YS) and b[2] < len(ZS):  # (the missing block's names are unknown)
            rows.append("%-5s%-5s%20s%30s" % (name(*a), name(*b), "", "0.1000E+01"))
    rows += ["%-5s%-5s%20s%30s" % ("ATM 1", name(i, j, 0), "", "0.1000E+01")
             for i, j in product(range(len(XS)), range(len(YS)))]
    Path(d, "MESH").write_text("\n".join(rows) + "\n\n")
    table = [" TOTAL TIME     KCYC", " 0.86400E+05      1", "", " ELEM.  INDEX       P", "                    (PA)", ""]
    table += [" %-5s %5d   %s" % (name(*c), n, fortran(pressure(*centre[c]))) for n, c in enumerate(cells, 1)]
    table += [" %-5s %5d   %s" % ("ATM 1", len(cells) + 1, fortran(1.0e5)), " @@@@@@@@@@@@@@@@@@@@", ""]
    Path(d, "p.out").write_text("\n".join(table))
    return cells


class Volumes(unittest.TestCase):
    def test_boxes_read_back_and_sliced(self):
        with tempfile.TemporaryDirectory(prefix="printzone-volumes-") as d:
            cells = write_case(d)
            run = subprocess.run([PRINTZONE, "-q", "-xyz", "-vtk", "-fe", "p.out"], cwd=d, capture_output=True,
                                 text=True, stdin=subprocess.DEVNULL)
            self.assertEqual((run.returncode, run.stderr), (0, ""))
            g = read_with(vtkXMLUnstructuredGridReader, Path(d, "p.out.1.vtu"))
            places = vtk_to_numpy(g.GetPointData().GetArray("element"))
            at = {p - 1: c for p, c in enumerate(cells + ["hub"], 1)}  # point -> grid position, by its place in MESH
            kinds = [g.GetCellType(c) for c in range(g.GetNumberOfCells())]
            corners = [[int(places[g.GetCell(c).GetPointId(k)]) - 1 for k in range(g.GetCell(c).GetNumberOfPoints())]
                       for c in range(g.GetNumberOfCells())]

            # The boxes that close: every grid box without the missing block, once.
            want = {b for b in product(range(len(XS) - 1), range(len(YS) - 1), range(len(ZS) - 1))
                    if not all(s <= m <= s + 1 for s, m in zip(b, MISSING))}
            self.assertEqual(len(want), 4 * 3 * 3 - 8)
            boxes = [c for c, t in zip(corners, kinds) if t == HEX]
            got = sorted(min(at[p] for p in box) for box in boxes)
            self.assertEqual(got, sorted(want))
            for box in boxes:
                i, j, k = min(at[p] for p in box)
                self.assertEqual({at[p] for p in box}, set(product((i, i + 1), (j, j + 1), (k, k + 1))))
            # Then a vertex per element in no box.
            in_box = {(i + a, j + b, k + c) for i, j, k in want for a, b, c in product((0, 1), repeat=3)}
            outside = [c for c in cells if c not in in_box] + ["hub"]
            self.assertEqual(len(outside), 4)
            self.assertEqual((kinds[len(boxes):], [at[c[0]] for c in corners[len(boxes):]]),
                             ([VERTEX] * len(outside), outside))

            # Positive volumes, the sizes of the grid's boxes.
            quality = vtkMeshQuality()
            quality.SetInputData(g)
            quality.SetHexQualityMeasureToVolume()
            quality.Update()
            volumes = vtk_to_numpy(quality.GetOutput().GetCellData().GetArray("Quality"))[:len(boxes)]
            size = lambda i, j, k: (XS[i + 1] - XS[i]) * (YS[j + 1] - YS[j]) * (ZS[k] - ZS[k + 1])
            # (which measures either turn: each box's turn at its corner 0)
            pts = vtk_to_numpy(g.GetPoints().GetData())
            for c in range(len(boxes)):
                p = [pts[g.GetCell(c).GetPointId(k)] for k in (0, 1, 3, 4)]
                self.assertGreater(np.linalg.det([p[1] - p[0], p[2] - p[0], p[3] - p[0]]), 0)
            self.assertTrue(np.allclose(volumes, [size(*min(at[p] for p in box)) for box in boxes], rtol=1e-12))

            # Two slices cut them, the pressure on each as at the points it passes through.
            for origin, normal in [((25, 15, -4), (0, 0, 1)), ((27, 15, -5), (1, 0.2, 0.1))]:
                plane = vtkPlane()
                plane.SetOrigin(*origin)
                plane.SetNormal(*normal)
                cutter = vtkCutter()
                cutter.SetInputData(g)
                cutter.SetCutFunction(plane)
                cutter.Update()
                cut = cutter.GetOutput()
                self.assertGreater(cut.GetNumberOfCells(), 0)
                points = vtk_to_numpy(cut.GetPoints().GetData())
                self.assertTrue(np.allclose(vtk_to_numpy(cut.GetPointData().GetArray("P")),
                                            [pressure(*p) for p in points], rtol=0, atol=1e-6))

            # meshio reads the same cells; the -fe file has the boxes as bricks.
            m = meshio.read(Path(d, "p.out.1.vtu"))
            self.assertEqual([(b.type, len(b.data)) for b in m.cells], [("hexahedron", len(boxes)), ("vertex", len(outside))])
            fe = read_with(vtkTecplotReader, Path(d, "p.out.1.dat")).GetBlock(0)
            self.assertEqual([[fe.GetCell(c).GetPointId(k) for k in range(8)] for c in range(fe.GetNumberOfCells())],
                             [[g.GetCell(c).GetPointId(k) for k in range(8)] for c in range(len(boxes))])
            self.assertEqual(meshio.read(Path(d, "p.out.1.dat"), file_format="tecplot").cells[0].type, "hexahedron")

            # The zone format's plot file keeps the points alone.
            subprocess.run([PRINTZONE, "-q", "-xyz", "p.out"], cwd=d, check=True)
            self.assertEqual(Path(d, "p.out.1").read_text().splitlines()[1], "Zone F=POINT I=   80")


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    PRINTZONE = os.path.abspath(sys.argv[1])
    unittest.main(argv=[sys.argv[0], "-v"] + sys.argv[2:])
