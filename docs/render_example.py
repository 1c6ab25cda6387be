#!/usr/bin/python3
"""Renders the bundled example's first printout, written with -vtk, into
docs/example.png: the cells coloured by P, with the gas flow vectors FGAS.

    bash docs/render_example.sh      (runs this under xvfb-run)

Needs Debian's python3-vtk9 (the system's Python) and a built printzone.
"""
import os
import shutil
import subprocess
import sys
import tempfile

from vtkmodules.vtkCommonCore import vtkLookupTable
from vtkmodules.vtkFiltersCore import vtkGlyph3D
from vtkmodules.vtkFiltersSources import vtkArrowSource
from vtkmodules.vtkIOImage import vtkPNGWriter
from vtkmodules.vtkIOXML import vtkXMLUnstructuredGridReader
from vtkmodules.vtkRenderingAnnotation import vtkScalarBarActor
from vtkmodules.vtkRenderingCore import (vtkActor, vtkDataSetMapper, vtkPolyDataMapper, vtkRenderer,
                                         vtkRenderWindow, vtkTextActor, vtkWindowToImageFilter)
import vtkmodules.vtkRenderingOpenGL2  # noqa: F401 (the rendering back end)
import vtkmodules.vtkRenderingFreeType  # noqa: F401 (text)

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
printzone = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else os.path.join(root, "build", "printzone")
out_png = os.path.join(root, "docs", "example.png")

work = tempfile.mkdtemp()
try:
    for f in ("MESH", "example.out"):
        shutil.copy(os.path.join(root, "examples", f), work)
    subprocess.run([printzone, "-vtk", "-xy", "example.out"], cwd=work, check=True, stdout=subprocess.DEVNULL)
    reader = vtkXMLUnstructuredGridReader()
    reader.SetFileName(os.path.join(work, "example.out.1.vtu"))
    reader.Update()
    grid = reader.GetOutput()
finally:
    shutil.rmtree(work)

grid.GetPointData().SetActiveScalars("P")
colours = vtkLookupTable()
colours.SetHueRange(0.667, 0.0)  # blue (low) to red (high)
colours.Build()
surface = vtkDataSetMapper()
surface.SetInputData(grid)
surface.SetLookupTable(colours)
surface.SetScalarRange(grid.GetPointData().GetArray("P").GetRange())
cells = vtkActor()
cells.SetMapper(surface)
cells.GetProperty().EdgeVisibilityOn()
cells.GetProperty().SetEdgeColor(0.2, 0.2, 0.2)
cells.GetProperty().SetLineWidth(2)

grid.GetPointData().SetActiveVectors("FGAS")
arrow = vtkArrowSource()
glyphs = vtkGlyph3D()
glyphs.SetInputData(grid)
glyphs.SetSourceConnection(arrow.GetOutputPort())
glyphs.SetVectorModeToUseVector()
glyphs.SetScaleModeToScaleByVector()
glyphs.SetColorModeToColorByScale()
glyphs.SetScaleFactor(4.0 / max(grid.GetPointData().GetArray("FGAS").GetMaxNorm(), 1e-300))
arrow_mapper = vtkPolyDataMapper()
arrow_mapper.SetInputConnection(glyphs.GetOutputPort())
arrow_mapper.ScalarVisibilityOff()
arrows = vtkActor()
arrows.SetMapper(arrow_mapper)
arrows.GetProperty().SetColor(1, 1, 1)
arrows.SetPosition(0, 0, 0.1)

bar = vtkScalarBarActor()
bar.SetLookupTable(surface.GetLookupTable())
bar.SetTitle("P (Pa)")
bar.UnconstrainedFontSizeOn()
bar.GetTitleTextProperty().SetFontSize(16)
bar.GetLabelTextProperty().SetFontSize(13)
bar.SetNumberOfLabels(3)
bar.SetWidth(0.12)
bar.SetHeight(0.7)
bar.SetPosition(0.85, 0.15)

title = vtkTextActor()
title.SetInput("examples/example.out, printout 1 (t = 86400 s): P and FGAS")
title.GetTextProperty().SetFontSize(16)
title.SetPosition(10, 10)

renderer = vtkRenderer()
renderer.SetBackground(0.32, 0.34, 0.43)
for actor in (cells, arrows, bar, title):
    renderer.AddActor(actor)
window = vtkRenderWindow()
window.SetOffScreenRendering(1)
window.SetSize(640, 400)
window.AddRenderer(renderer)
renderer.ResetCamera()
renderer.GetActiveCamera().Zoom(1.25)
window.Render()

image = vtkWindowToImageFilter()
image.SetInput(window)
image.Update()
writer = vtkPNGWriter()
writer.SetFileName(out_png)
writer.SetInputConnection(image.GetOutputPort())
writer.Write()
print("wrote", out_png)
